// Romanization with ICU's transliterators. Creating one costs milliseconds, so one is made for
// the process and shared under a lock (a transliterator keeps state while it runs).
#include "names/romanize.h"

#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <memory>
#include <mutex>

namespace names {

namespace {

constexpr UChar32 kLastLatin1 = 0xFF;
constexpr size_t kLongestText = 4096; // bytes read of one text; names are far shorter

// The filters keep ISO-8859-1 out of reach of both steps: "é" stays "é", only the rest changes.
constexpr char kRomanization[] =
    "NFC; [^\\u0000-\\u00FF] Any-Latin; NFC; [^\\u0000-\\u00FF] Latin-ASCII";

class Romanizer {
public:
    Romanizer() {
        UErrorCode status = U_ZERO_ERROR;
        transliterator_.reset(icu::Transliterator::createInstance(
            icu::UnicodeString::fromUTF8(kRomanization), UTRANS_FORWARD, status));
        if (U_FAILURE(status)) {
            transliterator_.reset(); // without ICU's data, what is not ISO-8859-1 is left out
        }
    }

    void Transliterate(icu::UnicodeString& text) {
        const std::lock_guard lock(mutex_);
        if (transliterator_) {
            transliterator_->transliterate(text);
        }
    }

private:
    std::mutex mutex_;
    std::unique_ptr<icu::Transliterator> transliterator_;
};

Romanizer& TheRomanizer() {
    static Romanizer romanizer;
    return romanizer;
}

bool IsSpacing(UChar32 c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == 0xA0 ||
           c == 0x85;
}

bool IsControl(UChar32 c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

} // namespace

std::string RomanizeToLatin1(std::string_view utf8) {
    utf8 = utf8.substr(0, kLongestText);
    icu::UnicodeString text = icu::UnicodeString::fromUTF8(
        icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
    TheRomanizer().Transliterate(text);
    std::string latin1;
    bool spaceDue = false;
    for (int32_t i = 0; i < text.length(); i = text.moveIndex32(i, 1)) {
        const UChar32 c = text.char32At(i);
        if (IsSpacing(c)) {
            spaceDue = !latin1.empty();
            continue;
        }
        if (IsControl(c) || c > kLastLatin1) {
            continue;
        }
        if (spaceDue) {
            latin1 += ' ';
            spaceDue = false;
        }
        latin1 += static_cast<char>(static_cast<unsigned char>(c));
    }
    return latin1;
}

} // namespace names
