#pragma once

#include <QByteArray>
#include <QStringView>

namespace velquor {

// Bytes typed as hexadecimal text: pairs of hexadecimal digits (either case),
// blanks (spaces, tabs) allowed between pairs and around the text, nothing
// else. "06 00ff06" is four bytes; "0 600ff06" is refused, since its blank
// splits a pair. The empty text is zero bytes. When a text has several
// faults, a bad character is reported first, then odd digits, then a split
// pair.
struct HexTextResult
{
    enum Fault {
        None,
        BadCharacter, // position: the first character that is neither digit nor blank
        OddDigits,    // the digits do not make whole pairs (position: text size)
        SplitPair,    // position: a blank between the two digits of a pair
    };
    QByteArray bytes; // empty unless ok()
    Fault fault = None;
    qsizetype position = -1; // 0-based index into the text
    bool ok() const { return fault == None; }
};

HexTextResult parseHexText(QStringView text);

} // namespace velquor
