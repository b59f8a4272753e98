// Shows a picture full screen, pixel for pixel, until killed: a known screen for the tests
// on desktops where the test cannot set the background.
//   wayland_show_picture FILE.png
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QWidget>

#include <cstdio>

namespace {

class Picture final : public QWidget {
  public:
    explicit Picture(QImage image) : image_(std::move(image)) {}

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).drawImage(0, 0, image_);
        std::printf("shown\n");
        std::fflush(stdout);
    }

  private:
    QImage image_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2)
        return 2;
    const QImage image(QString::fromLocal8Bit(argv[1]));
    if (image.isNull())
        return 1;
    Picture window(image);
    window.showFullScreen();
    return application.exec();
}
