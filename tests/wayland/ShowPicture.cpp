// Shows a picture full screen, pixel for pixel, until killed: a known screen for the tests
// on desktops where the test cannot set the background. With --changing, a corner of it
// changes at every frame, as a screen does while someone works (the benchmark's idle run).
//   wayland_show_picture [--changing] FILE.png
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace {

class Picture final : public QWidget {
  public:
    Picture(QImage image, bool changing) : image_(std::move(image)) {
        if (changing) {
            connect(&frames_, &QTimer::timeout, this, [this] {
                ++frame_;
                update(0, 0, 64, 64);
            });
            frames_.start(16);
        }
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.drawImage(0, 0, image_);
        if (frame_ > 0)
            painter.fillRect(0, 0, 64, 64, QColor::fromHsv(frame_ * 7 % 360, 255, 255));
        if (frame_ == 0) {
            std::printf("shown\n");
            std::fflush(stdout);
        }
    }

  private:
    QImage image_;
    QTimer frames_;
    int frame_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const bool changing = argc == 3 && QString::fromLocal8Bit(argv[1]) == "--changing";
    if (argc != 2 && !changing)
        return 2;
    const QImage image(QString::fromLocal8Bit(argv[argc - 1]));
    if (image.isNull())
        return 1;
    Picture window(image, changing);
    window.showFullScreen();
    return application.exec();
}
