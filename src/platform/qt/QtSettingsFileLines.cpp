#include "platform/qt/QtSettingsFileLines.h"

#include <algorithm>
#include <optional>

namespace Platform::QtToolkit {

namespace {

// QSettings passes over one at the start of the file.
constexpr QByteArrayView BYTE_ORDER_MARK = "\xEF\xBB\xBF";

bool IsBreak(char c) {
    return c == '\n' || c == '\r';
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || IsBreak(c);
}

struct IniLine {
    qsizetype Begin = 0;    // where its physical line starts, blanks included
    qsizetype End = 0;      // at its final line break, or the end of the file
    qsizetype Equals = -1;  // the first "=" outside quotes
    bool Header = false;    // "[section]"
    bool Unterminated = false;
    QByteArray Section;  // the section it belongs to (a header: the one it opens)
};

QByteArray Trimmed(const QByteArray& data, qsizetype begin, qsizetype end) {
    return data.mid(begin, end - begin).trimmed();
}

// The name between the brackets as QSettings takes it: escapes undone ("[a%3Db]" is how it
// writes "[a=b]"), "\\" as "/", no empty parts between slashes. The general section, under
// [General] or before any header, is the empty name.
QByteArray SectionName(const QByteArray& header) {
    qsizetype close = header.indexOf(']');
    if (close < 0)
        close = header.size();
    QByteArray name = QByteArray::fromPercentEncoding(header.mid(1, close - 1).trimmed());
    name.replace('\\', '/');
    QList<QByteArray> parts = name.split('/');
    parts.removeAll(QByteArray());
    name = parts.join('/');
    return name.compare("general", Qt::CaseInsensitive) == 0 ? QByteArray() : name;
}

// A section name that reads back as itself from a header of its own, so a header made for
// it cannot fall in with another section.
bool IsPlainSectionName(const QByteArray& name) {
    return !name.isEmpty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == ' ' || c == '_' || c == '.' || c == '-';
    });
}

// The logical lines of an INI file, comments left out, split as QSettings splits them: a
// line break inside quotes or after "\" does not end a line, an unquoted ";" starts a
// comment that runs to the end of the physical line.
QList<IniLine> IniLines(const QByteArray& data) {
    QList<IniLine> lines;
    const qsizetype n = data.size();
    qsizetype pos = data.startsWith(BYTE_ORDER_MARK) ? BYTE_ORDER_MARK.size() : 0;
    QByteArray section;
    for (;;) {
        while (pos < n && IsSpace(data[pos])) ++pos;
        if (pos >= n)
            break;
        if (data[pos] == ';') {
            while (pos < n && !IsBreak(data[pos])) ++pos;
            continue;
        }
        IniLine line;
        line.Begin = pos;
        while (line.Begin > 0 && (data[line.Begin - 1] == ' ' || data[line.Begin - 1] == '\t')) {
            --line.Begin;
        }
        line.Header = data[pos] == '[';
        bool inQuotes = false;
        bool escapeAtEnd = false;
        qsizetype i = pos;
        while (i < n) {
            const char c = data[i];
            escapeAtEnd = false;
            if (c == '=') {
                if (!inQuotes && line.Equals < 0)
                    line.Equals = i;
                ++i;
            } else if (IsBreak(c)) {
                if (!inQuotes)
                    break;
                ++i;
            } else if (c == '\\') {
                ++i;
                if (i >= n) {
                    escapeAtEnd = true;
                } else {
                    const char escaped = data[i++];
                    if (i < n && IsBreak(escaped) && IsBreak(data[i]) && data[i] != escaped)
                        ++i;
                    escapeAtEnd = i >= n && IsBreak(escaped);
                }
            } else if (c == '"') {
                inQuotes = !inQuotes;
                ++i;
            } else if (c == ';' && !inQuotes) {
                while (i < n && !IsBreak(data[i])) ++i;
                break;
            } else {
                ++i;
            }
        }
        line.End = i;
        line.Unterminated = i >= n && (inQuotes || escapeAtEnd);
        if (line.Header)
            section = SectionName(Trimmed(data, pos, line.End));
        line.Section = section;
        lines.append(line);
        pos = i;
    }
    return lines;
}

// A line's text with a line break after it. A text can end in a break that its final "\\"
// escapes; a break after it that pairs with that one ("\r" then "\n") would be escaped with
// it, and the next line would run on into this one.
QByteArray WithLineBreak(const QByteArray& text) {
    return text + (text.endsWith('\r') ? '\r' : '\n');
}

bool IsUnreadable(const IniLine& line) {
    return !line.Header && line.Equals < 0;
}

// 1 for the first line; "\r\n", "\n" and "\r" each end one.
int LineNumber(const QByteArray& data, qsizetype at) {
    int number = 1;
    for (qsizetype i = 0; i < at; ++i) {
        if (data[i] == '\n' || (data[i] == '\r' && (i + 1 >= data.size() || data[i + 1] != '\n')))
            ++number;
    }
    return number;
}

QByteArray KeyOf(const QByteArray& data, const IniLine& line) {
    return Trimmed(data, line.Begin, line.Equals);
}

// Just past the line break that ends the line at `end`.
qsizetype AfterLineBreak(const QByteArray& data, qsizetype end) {
    if (end < data.size() && IsBreak(data[end])) {
        const char first = data[end++];
        if (end < data.size() && IsBreak(data[end]) && data[end] != first)
            ++end;
    }
    return end;
}

// Where a line of `section` that followed `afterKey` goes back in `written`; none when
// QSettings left the section out.
std::optional<qsizetype> InsertionPoint(const QByteArray& written, const QList<IniLine>& parsed,
                                        const QByteArray& section, const QByteArray& afterKey) {
    const IniLine* header = nullptr;
    const IniLine* last = nullptr;
    const IniLine* anchor = nullptr;
    for (const IniLine& line : parsed) {
        if (line.Section != section)
            continue;
        if (line.Header && header == nullptr)
            header = &line;
        last = &line;
        if (!line.Header && !afterKey.isEmpty() && anchor == nullptr &&
            KeyOf(written, line) == afterKey) {
            anchor = &line;
        }
    }
    if (anchor != nullptr)
        return AfterLineBreak(written, anchor->End);
    if (afterKey.isEmpty() || last == nullptr) {
        if (header != nullptr)
            return AfterLineBreak(written, header->End);
        if (section.isEmpty())
            return 0;
        return std::nullopt;
    }
    return AfterLineBreak(written, last->End);
}

}  // namespace

QList<UnreadableLine> UnreadableLines(const QByteArray& file) {
    QList<UnreadableLine> result;
    QByteArray afterKey;
    QByteArray section;
    for (const IniLine& line : IniLines(file)) {
        if (line.Section != section || line.Header) {
            section = line.Section;
            afterKey.clear();
        }
        if (line.Header)
            continue;
        if (!IsUnreadable(line)) {
            afterKey = KeyOf(file, line);
            continue;
        }
        UnreadableLine kept;
        kept.Number = LineNumber(file, line.Begin);
        kept.Text = file.mid(line.Begin, line.End - line.Begin);
        kept.Section = line.Section;
        kept.AfterKey = afterKey;
        kept.Unterminated = line.Unterminated;
        result.append(kept);
    }
    return result;
}

QByteArray PutBackUnreadableLines(const QByteArray& written, const QList<UnreadableLine>& lines) {
    if (lines.isEmpty())
        return written;
    const QList<IniLine> parsed = IniLines(written);

    struct Insertion {
        qsizetype At;
        QByteArray Text;
    };
    QList<Insertion> insertions;
    // Sections QSettings did not write, with headers made for them where that is safe.
    QByteArray leftOut;
    std::optional<QByteArray> leftOutSection;
    QByteArray unterminated;
    for (const UnreadableLine& line : lines) {
        if (line.Unterminated) {
            unterminated = line.Text;
            continue;
        }
        const auto at = InsertionPoint(written, parsed, line.Section, line.AfterKey);
        if (at) {
            insertions.append({*at, WithLineBreak(line.Text)});
            continue;
        }
        if (line.Section != leftOutSection && IsPlainSectionName(line.Section))
            leftOut += "\n[" + line.Section + "]\n";
        leftOutSection = line.Section;
        leftOut += WithLineBreak(line.Text);
    }
    std::stable_sort(insertions.begin(), insertions.end(),
                     [](const Insertion& a, const Insertion& b) { return a.At < b.At; });

    QByteArray result;
    // A line that goes back at the very start and starts with a byte order mark of its own
    // needs one before it to keep it.
    if (!insertions.isEmpty() && insertions.front().At == 0 &&
        insertions.front().Text.startsWith(BYTE_ORDER_MARK)) {
        result += BYTE_ORDER_MARK;
    }
    qsizetype copied = 0;
    const qsizetype start = result.size();
    auto endLine = [&result, start] {
        if (result.size() > start && !IsBreak(result.back()))
            result += '\n';
    };
    for (const Insertion& insertion : insertions) {
        result += written.mid(copied, insertion.At - copied);
        copied = insertion.At;
        endLine();
        result += insertion.Text;
    }
    result += written.mid(copied);
    if (!leftOut.isEmpty()) {
        endLine();
        result += result.isEmpty() && leftOut.startsWith('\n') ? leftOut.mid(1) : leftOut;
    }
    if (!unterminated.isEmpty()) {
        endLine();
        result += unterminated;
    }
    return result;
}

QByteArray AppendUnreadableLines(QByteArray written, const QList<UnreadableLine>& lines) {
    QByteArray unterminated;
    for (const UnreadableLine& line : lines) {
        if (line.Unterminated) {
            unterminated = line.Text;
            continue;
        }
        if (!written.isEmpty() && !IsBreak(written.back()))
            written += '\n';
        written += WithLineBreak(line.Text);
    }
    if (!written.isEmpty() && !IsBreak(written.back()))
        written += '\n';
    return written + unterminated;
}

}  // namespace Platform::QtToolkit
