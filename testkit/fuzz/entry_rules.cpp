// The address bytes' entry rules under arbitrary editing. The window applies a rule to every
// change of a box's text and again to each repaired text, until the rule leaves it as it is;
// this target edits a box the same way and holds the rules to their contracts.

#include "core/leading_number.h"
#include "core/octet_filters.h"
#include "fuzz_check.h"

#include <cstdint>

namespace {

bool isDigit(QChar c)
{
    return c >= '0' && c <= '9';
}

bool isUpperHexDigit(QChar c)
{
    return isDigit(c) || (c >= 'A' && c <= 'F');
}

// One run of the rule on a text, checked against what the rule may do to it.
OctetFilterResult filtered(bool hex, const QString& text)
{
    const OctetFilterResult r = hex ? FilterHexOctet(text) : FilterDecimalOctet(text);
    const qsizetype limit = hex ? 2 : 3;
    FUZZ_CHECK(r.focusSignal == 0 || r.focusSignal == 1, "a focus signal other than 0 or 1");
    FUZZ_CHECK(r.text.size() <= text.size(), "the rule lengthens the text");
    FUZZ_CHECK(text.size() <= limit || r.text.size() < text.size(),
        "the rule keeps a text longer than the box allows");
    // Only the last character may change, and only to its upper case.
    const qsizetype kept = r.text.size();
    const bool sameStart = QStringView(r.text).first(std::max<qsizetype>(kept - 1, 0))
        == QStringView(text).first(std::max<qsizetype>(kept - 1, 0));
    FUZZ_CHECK(sameStart
            && (kept == 0 || r.text.back() == text.at(kept - 1)
                || (hex && kept == text.size() && r.text.back() == text.back().toUpper())),
        "the rule changes more than the end of the text");
    if (r.focusSignal == 1) {
        FUZZ_CHECK(r.text.size() == text.size(), "a complete byte reported for a cut text");
        const bool complete = hex ? r.text.size() == 2
                                  : (r.text.size() == 3 && leadingNumber(r.text) <= 255)
                || (r.text.size() == 2 && leadingNumber(r.text) > 25);
        FUZZ_CHECK(complete, "a byte reported complete that is not");
    }
    return r;
}

struct Box
{
    bool hex = false;
    QString text;
    // Every character came in at the end, one at a time: nothing the rule never saw last.
    bool typedAtEnd = true;

    // The window's nested runs of the rule until it leaves the text as it is.
    void settle()
    {
        const qsizetype before = text.size();
        for (qsizetype run = 0;; ++run) {
            FUZZ_CHECK(run <= before + 1, "the rule does not settle");
            const OctetFilterResult r = filtered(hex, text);
            if (r.text == text)
                break;
            text = r.text;
        }
        FUZZ_CHECK(text.size() <= (hex ? 2 : 3), "a settled text is longer than the box allows");
        const OctetFilterResult again = filtered(hex, text);
        FUZZ_CHECK(again.text == text && filtered(hex, again.text) == again,
            "the rule applied to its own result changes it");
        if (typedAtEnd) {
            for (QChar c : text)
                FUZZ_CHECK(hex ? isUpperHexDigit(c) : isDigit(c),
                    "a character the rule does not allow stays in the box");
            FUZZ_CHECK(hex || leadingNumber(text) <= 255, "a decimal byte above 255 stays");
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    Box box;
    box.hex = (data[0] & 1) != 0;
    // Each edit: an operation byte, then a position byte, then its characters (UTF-16 units
    // from pairs of bytes, so that any character can be typed).
    size_t at = 1;
    const auto next = [&]() -> uint8_t { return at < size ? data[at++] : 0; };
    const auto character = [&]() -> QChar {
        const uint8_t low = next();
        return QChar(char16_t(low | next() << 8));
    };
    while (at < size) {
        const uint8_t op = next();
        const qsizetype position = next() % (box.text.size() + 1);
        switch (op % 4) {
        case 0: // typed at the end
            box.text.append(character());
            break;
        case 1: // typed where the cursor stands
            box.typedAtEnd = box.typedAtEnd && position == box.text.size();
            box.text.insert(position, character());
            break;
        case 2: { // pasted where the cursor stands
            QString pasted;
            for (int n = op / 4 % 16 + 2; n > 0; --n)
                pasted.append(character());
            box.typedAtEnd = false;
            box.text.insert(position, pasted);
            break;
        }
        case 3: // a character deleted where the cursor stands
            box.text.remove(position, 1);
            break;
        }
        box.settle();
    }
    return 0;
}
