// The lines of a settings file that QSettings cannot read, and how they go back into the
// file after QSettings has written it anew without them.
#pragma once

#include <QByteArray>
#include <QList>

namespace Platform::QtToolkit {

// A line of the settings file that the store cannot read: one without "=" that is not a
// ";" comment, such as a note typed into the file by hand. QSettings writes the file anew
// from what it could read, so every write puts these lines back where they were.
struct UnreadableLine {
    int Number = 0;       // 1 for the file's first line
    QByteArray Text;      // as in the file, without its final line break
    QByteArray Section;   // its section's name as QSettings takes it; empty for the general
    QByteArray AfterKey;  // the key of the last readable line before it in its section
    // It runs on to the end of the file (an open quote, a final "\"); anywhere but at the
    // end it would swallow the lines after it.
    bool Unterminated = false;
};

// The unreadable lines of a settings file, in their order, read by the rules QSettings
// reads by (quotes and "\" continue a line over line breaks, ";" starts a comment).
QList<UnreadableLine> UnreadableLines(const QByteArray& file);

// The file QSettings has just written anew, with `lines` put back: each after the key it
// followed in its section (at the top of the section when it followed none); the lines of
// a section QSettings left out at the end, under a header made for it when its name is
// plain ("[Notes]"); an unterminated line last.
QByteArray PutBackUnreadableLines(const QByteArray& written, const QList<UnreadableLine>& lines);

// The lines at the end of the file, in their order: the plainest place, for a file whose
// sections QSettings reads in ways the places they came from would disturb.
QByteArray AppendUnreadableLines(QByteArray written, const QList<UnreadableLine>& lines);

}  // namespace Platform::QtToolkit
