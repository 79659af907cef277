// The JSON document types of the statistics answer. The service sends cp1251 text, so the
// document's characters are cp1251 bytes: raw bytes inside strings are copied through as they
// stand, and a "\u" escape becomes the cp1251 byte of its code point, or '?' where cp1251 has none.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include <rapidjson/document.h>

namespace provider {

// The upper half of cp1251 as Unicode code points (0 where the code page leaves a byte unused).
extern const unsigned short kCp1251Upper[128];

// The cp1251 byte of a code point; '?' for one that cp1251 cannot show.
char Cp1251FromCodePoint(unsigned codepoint);

// RapidJSON rejects raw control bytes inside strings, which the service's texts may carry (a tab
// in a name): `escaped` gets the body with each such byte as a \u00XX escape, which the encoding
// below turns back into the same byte. False, leaving `escaped` alone, when there is none.
bool EscapeRawControlBytes(std::string_view body, std::string& escaped);

// A RapidJSON encoding for cp1251 text: one byte is one character.
struct Cp1251Encoding {
    typedef char Ch;
    enum { supportUnicode = 0 };

    template <typename OutputStream>
    static void Encode(OutputStream& os, unsigned codepoint) {
        os.Put(Cp1251FromCodePoint(codepoint));
    }
    template <typename OutputStream>
    static void EncodeUnsafe(OutputStream& os, unsigned codepoint) {
        os.PutUnsafe(Cp1251FromCodePoint(codepoint));
    }
    template <typename InputStream, typename OutputStream>
    static bool Validate(InputStream& is, OutputStream& os) {
        os.Put(is.Take());
        return true;
    }
    template <typename InputByteStream>
    static Ch TakeBOM(InputByteStream& is) {
        return static_cast<Ch>(is.Take());
    }
    template <typename InputByteStream>
    static Ch Take(InputByteStream& is) {
        return static_cast<Ch>(is.Take());
    }
};

using JsonDocument = rapidjson::GenericDocument<Cp1251Encoding>;
using JsonValue = rapidjson::GenericValue<Cp1251Encoding>;

}  // namespace provider
