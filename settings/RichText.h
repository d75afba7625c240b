#pragma once

// The connection log's file format: a small RTF document, one paragraph per line, in Courier
// New of about 10 points, code page 1252, that word processors read back as the same lines.
// Reading takes such documents, ordinary RTF from other programs, and plain text (CR LF, LF or
// CR line ends, code page 1252).

#include <QByteArray>
#include <QStringList>

namespace pulo {

[[nodiscard]] QByteArray WriteRichText(const QStringList& lines);

// The parts of what WriteRichText writes, for a writer that changes only the end of a document
// of its own: the header, the lines (each but the document's first after a line break), and
// the end. A line's text never holds the break, so the document splits at it line for line.
[[nodiscard]] const QByteArray& RichTextHeader();
[[nodiscard]] QByteArray RichTextParagraphs(const QStringList& lines, bool first);
inline constexpr char RichTextBreak[] = "\n\\par ";
inline constexpr char RichTextEnd[] = "\n}\n";

// The lines of an RTF document or, when the data is not RTF, of plain text. Never fails:
// every byte sequence reads as one or the other; a document cut short gives what it held.
[[nodiscard]] QStringList ReadRichText(const QByteArray& data);

} // namespace pulo
