// The stand-in's parser and element tree. Callers hold the engine's lock (HtmlEngine.cpp).
#include "testing/htmlengine/HtmlDocument.h"

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <set>

namespace {

std::set<const HtmlEngineElement*>& LiveSet() {
    static std::set<const HtmlEngineElement*> live;
    return live;
}

HtmlEngineElement* NewElement(std::string tag) {
    auto* element = new HtmlEngineElement;
    element->tag = std::move(tag);
    LiveSet().insert(element);
    return element;
}

void Adopt(HtmlEngineElement* parent, HtmlEngineElement* child) {
    child->parent = parent;
    parent->children.push_back(child);
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Narrow(const std::wstring& text) {  // names are ASCII
    std::string out;
    for (wchar_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

bool IsVoid(const std::string& tag) {
    static const char* const kVoid[] = {"area", "base", "br", "col", "embed", "hr", "img", "input",
                                        "link", "meta", "param", "source", "track", "wbr"};
    return std::any_of(std::begin(kVoid), std::end(kVoid), [&](const char* v) { return tag == v; });
}

bool IsRawText(const std::string& tag) { return tag == "script" || tag == "style" || tag == "textarea" || tag == "title"; }

bool IsBlock(const std::string& tag) {
    static const char* const kBlock[] = {"address", "article", "blockquote", "body", "br", "center", "dd",
                                         "div", "dl", "dt", "form", "h1", "h2", "h3", "h4", "h5", "h6",
                                         "hr", "li", "ol", "p", "pre", "section", "table", "tr", "ul"};
    return std::any_of(std::begin(kBlock), std::end(kBlock), [&](const char* b) { return tag == b; });
}

// --- decoding -------------------------------------------------------------------------------------

bool IsValidUtf8(const BYTE* p, size_t n) {
    return n == 0 || ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(p),
                                           static_cast<int>(n), nullptr, 0) > 0;
}

UINT DeclaredCodePage(const BYTE* p, size_t n) {
    std::string head = Lower(std::string(reinterpret_cast<const char*>(p), std::min<size_t>(n, 2048)));
    size_t at = head.find("charset=");
    if (at == std::string::npos) return 0;
    at += 8;
    while (at < head.size() && (head[at] == '"' || head[at] == '\'' || head[at] == ' ')) ++at;
    size_t end = at;
    while (end < head.size() && (::isalnum(static_cast<unsigned char>(head[end])) || head[end] == '-' || head[end] == '_'))
        ++end;
    const std::string name = head.substr(at, end - at);
    if (name == "windows-1251" || name == "cp1251") return 1251;
    if (name == "utf-8" || name == "utf8") return CP_UTF8;
    if (name == "koi8-r") return 20866;
    if (name == "windows-1252" || name == "iso-8859-1" || name == "latin1") return 1252;
    if (name == "us-ascii") return 20127;
    return 0;
}

std::wstring Decode(const BYTE* p, size_t n) {
    if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
        return std::wstring(reinterpret_cast<const wchar_t*>(p + 2), (n - 2) / 2);
    }
    UINT codePage = 0;
    if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) {
        p += 3;
        n -= 3;
        codePage = CP_UTF8;
    }
    if (!codePage) codePage = DeclaredCodePage(p, n);
    if (!codePage) codePage = IsValidUtf8(p, n) ? CP_UTF8 : 1251;
    if (n == 0) return {};
    const char* bytes = reinterpret_cast<const char*>(p);
    int length = ::MultiByteToWideChar(codePage, 0, bytes, static_cast<int>(n), nullptr, 0);
    std::wstring out(static_cast<size_t>(std::max(length, 0)), L'\0');
    if (length > 0) ::MultiByteToWideChar(codePage, 0, bytes, static_cast<int>(n), out.data(), length);
    return out;
}

// --- parsing --------------------------------------------------------------------------------------

struct Parser {
    const std::wstring& s;
    size_t pos = 0;

    bool StartsWithNoCase(size_t at, const wchar_t* what) const {
        for (size_t i = 0; what[i]; ++i) {
            if (at + i >= s.size() || std::towlower(s[at + i]) != what[i]) return false;
        }
        return true;
    }

    static std::wstring DecodeEntities(const std::wstring& text) {
        std::wstring out;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] != L'&') {
                out += text[i];
                continue;
            }
            size_t semi = text.find(L';', i);
            if (semi == std::wstring::npos || semi - i > 10) {
                out += L'&';
                continue;
            }
            std::wstring name = text.substr(i + 1, semi - i - 1);
            unsigned long code = 0;
            if (!name.empty() && name[0] == L'#') {
                bool hex = name.size() > 1 && (name[1] == L'x' || name[1] == L'X');
                code = std::wcstoul(name.c_str() + (hex ? 2 : 1), nullptr, hex ? 16 : 10);
            } else if (name == L"amp") code = '&';
            else if (name == L"lt") code = '<';
            else if (name == L"gt") code = '>';
            else if (name == L"quot") code = '"';
            else if (name == L"apos") code = '\'';
            else if (name == L"nbsp") code = 0xA0;
            if (code == 0 || code > 0xFFFF) {
                out += L'&';
                continue;
            }
            out += static_cast<wchar_t>(code);
            i = semi;
        }
        return out;
    }

    std::string ReadName() {
        size_t start = pos;
        while (pos < s.size() && (std::iswalnum(s[pos]) || s[pos] == L'-' || s[pos] == L'_' || s[pos] == L':')) ++pos;
        return Lower(Narrow(s.substr(start, pos - start)));
    }

    void SkipBlanks() {
        while (pos < s.size() && std::iswspace(s[pos])) ++pos;
    }

    void SkipPast(const wchar_t* what) {
        size_t at = s.find(what, pos);
        pos = at == std::wstring::npos ? s.size() : at + std::wcslen(what);
    }

    // Reads the attributes up to '>' or "/>"; true when the tag closed itself.
    bool ReadAttributes(HtmlEngineElement* element) {
        for (;;) {
            SkipBlanks();
            if (pos >= s.size()) return false;
            if (s[pos] == L'>') {
                ++pos;
                return false;
            }
            if (s[pos] == L'/' && pos + 1 < s.size() && s[pos + 1] == L'>') {
                pos += 2;
                return true;
            }
            std::string name = ReadName();
            if (name.empty()) {
                ++pos;
                continue;
            }
            std::wstring value;
            SkipBlanks();
            if (pos < s.size() && s[pos] == L'=') {
                ++pos;
                SkipBlanks();
                if (pos < s.size() && (s[pos] == L'"' || s[pos] == L'\'')) {
                    wchar_t quote = s[pos++];
                    size_t end = s.find(quote, pos);
                    if (end == std::wstring::npos) end = s.size();
                    value = s.substr(pos, end - pos);
                    pos = std::min(end + 1, s.size());
                } else {
                    size_t start = pos;
                    while (pos < s.size() && !std::iswspace(s[pos]) && s[pos] != L'>') ++pos;
                    value = s.substr(start, pos - start);
                }
            }
            element->attributes.emplace_back(name, DecodeEntities(value));
        }
    }

    void AddText(HtmlEngineElement* parent, const std::wstring& raw) {
        if (raw.empty()) return;
        HtmlEngineElement* text = NewElement("#text");
        text->text = DecodeEntities(raw);
        Adopt(parent, text);
    }

    HtmlEngineElement* Parse() {
        HtmlEngineElement* top = NewElement("#top");
        std::vector<HtmlEngineElement*> open{top};
        while (pos < s.size()) {
            if (s[pos] != L'<') {
                size_t end = s.find(L'<', pos);
                if (end == std::wstring::npos) end = s.size();
                AddText(open.back(), s.substr(pos, end - pos));
                pos = end;
                continue;
            }
            if (StartsWithNoCase(pos, L"<!--")) {
                pos += 4;
                SkipPast(L"-->");
            } else if (StartsWithNoCase(pos, L"<!") || StartsWithNoCase(pos, L"<?")) {
                SkipPast(L">");
            } else if (StartsWithNoCase(pos, L"</")) {
                pos += 2;
                std::string name = ReadName();
                SkipPast(L">");
                for (size_t i = open.size(); i-- > 1;) {
                    if (open[i]->tag == name) {
                        open.resize(i);
                        break;
                    }
                }
            } else if (pos + 1 < s.size() && std::iswalpha(s[pos + 1])) {
                ++pos;
                HtmlEngineElement* element = NewElement(ReadName());
                bool closed = ReadAttributes(element);
                Adopt(open.back(), element);
                if (closed || IsVoid(element->tag)) continue;
                if (IsRawText(element->tag)) {
                    size_t end = pos;
                    std::wstring closing = L"</" + std::wstring(element->tag.begin(), element->tag.end());
                    while (end < s.size() && !StartsWithNoCase(end, closing.c_str())) ++end;
                    if (element->tag == "style" || element->tag == "script") {
                        element->text = s.substr(pos, end - pos);
                    } else {
                        AddText(element, s.substr(pos, end - pos));
                    }
                    pos = end;
                    if (pos < s.size()) SkipPast(L">");
                    continue;
                }
                open.push_back(element);
            } else {
                AddText(open.back(), L"<");
                ++pos;
            }
        }
        // The root is the one top-level html element, or a made-up one holding everything.
        HtmlEngineElement* html = nullptr;
        for (HtmlEngineElement* child : top->children) {
            if (child->tag == "html") {
                if (html) { html = nullptr; break; }
                html = child;
            } else if (!child->IsText() || child->text.find_first_not_of(L" \t\r\n") != std::wstring::npos) {
                html = nullptr;
                break;
            }
        }
        if (html) {
            htmlstandin::AddRef(html);
            html->parent = nullptr;
            htmlstandin::Release(top);
            return html;
        }
        top->tag = "html";
        return top;
    }
};

void AppendText(const HtmlEngineElement* element, std::wstring& out) {
    if (element->IsText()) {
        for (wchar_t c : element->text) {
            bool blank = std::iswspace(c) && c != 0xA0;
            if (blank) {
                if (!out.empty() && out.back() != L' ' && out.back() != L'\n') out += L' ';
            } else {
                out += c;
            }
        }
        return;
    }
    if (element->tag == "style" || element->tag == "script" || element->tag == "head") return;
    const bool block = IsBlock(element->tag);
    auto newline = [&] {
        while (!out.empty() && out.back() == L' ') out.pop_back();
        if (!out.empty() && out.back() != L'\n') out += L'\n';
    };
    if (block) newline();
    for (const HtmlEngineElement* child : element->children) AppendText(child, out);
    if (block) newline();
}

bool MatchesOne(const HtmlEngineElement* element, std::string selector) {
    if (element->IsText() || selector.empty()) return false;
    if (selector == "*") return true;
    std::string tag, id, cls;
    size_t mark = selector.find_first_of("#.");
    tag = Lower(selector.substr(0, mark));
    if (mark != std::string::npos) {
        (selector[mark] == '#' ? id : cls) = selector.substr(mark + 1);
    }
    if (!tag.empty() && tag != "*" && tag != element->tag) return false;
    if (!id.empty()) {
        const std::wstring* value = element->Attribute("id");
        if (!value || Narrow(*value) != id) return false;
    }
    if (!cls.empty()) {
        const std::wstring* value = element->Attribute("class");
        if (!value) return false;
        std::string classes(1, ' ');
        classes += Narrow(*value);
        classes += ' ';
        for (char& c : classes) if (std::isspace(static_cast<unsigned char>(c))) c = ' ';
        std::string word(1, ' ');
        word += cls;
        word += ' ';
        if (classes.find(word) == std::string::npos) return false;
    }
    return true;
}

void Collect(HtmlEngineElement* element, const std::vector<std::string>& selectors,
             std::vector<HtmlEngineElement*>& out) {
    for (const std::string& selector : selectors) {
        if (MatchesOne(element, selector)) {
            out.push_back(element);
            break;
        }
    }
    for (HtmlEngineElement* child : element->children) Collect(child, selectors, out);
}

COLORREF ParseHexColour(const std::wstring& text) {
    size_t hash = text.find(L'#');
    if (hash == std::wstring::npos || hash + 7 > text.size()) return CLR_INVALID;
    unsigned long rgb = std::wcstoul(text.substr(hash + 1, 6).c_str(), nullptr, 16);
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

COLORREF BackgroundIn(const std::wstring& declarations) {
    size_t at = declarations.find(L"background");
    if (at == std::wstring::npos) return CLR_INVALID;
    size_t end = declarations.find(L';', at);
    return ParseHexColour(declarations.substr(at, end == std::wstring::npos ? std::wstring::npos : end - at));
}

void StyleSheets(const HtmlEngineElement* element, std::wstring& out) {
    if (element->tag == "style") out += element->text;
    for (const HtmlEngineElement* child : element->children) StyleSheets(child, out);
}

}  // namespace

const std::wstring* HtmlEngineElement::Attribute(const std::string& name) const {
    for (const auto& [key, value] : attributes) {
        if (key == name) return &value;
    }
    return nullptr;
}

namespace htmlstandin {

HtmlEngineElement* ParseDocument(const BYTE* bytes, size_t size) {
    const std::wstring text = Decode(bytes, size);
    Parser parser{text};
    return parser.Parse();
}

void AddRef(HtmlEngineElement* element) { ++element->references; }

void Release(HtmlEngineElement* element) {
    if (--element->references > 0) return;
    for (HtmlEngineElement* child : element->children) {
        child->parent = nullptr;
        Release(child);
    }
    LiveSet().erase(element);
    delete element;
}

bool IsLive(const HtmlEngineElement* element) { return element && LiveSet().count(element) != 0; }

long LiveElements() { return static_cast<long>(LiveSet().size()); }

std::wstring InnerText(const HtmlEngineElement* element) {
    std::wstring out;
    if (element->IsText()) {
        AppendText(element, out);
    } else {
        for (const HtmlEngineElement* child : element->children) AppendText(child, out);
    }
    size_t first = out.find_first_not_of(L" \n");
    if (first == std::wstring::npos) return {};
    size_t last = out.find_last_not_of(L" \n");
    return out.substr(first, last - first + 1);
}

std::vector<HtmlEngineElement*> Select(HtmlEngineElement* root, const std::string& selector) {
    std::vector<std::string> selectors;
    size_t start = 0;
    while (start <= selector.size()) {
        size_t comma = selector.find(',', start);
        std::string one = selector.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        size_t a = one.find_first_not_of(" \t\r\n"), b = one.find_last_not_of(" \t\r\n");
        if (a != std::string::npos) selectors.push_back(one.substr(a, b - a + 1));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    std::vector<HtmlEngineElement*> out;
    if (root) Collect(root, selectors, out);
    return out;
}

COLORREF BodyBackground(const HtmlEngineElement* root) {
    std::vector<HtmlEngineElement*> bodies = Select(const_cast<HtmlEngineElement*>(root), "body");
    if (bodies.empty()) return CLR_INVALID;
    const HtmlEngineElement* body = bodies.front();
    if (const std::wstring* bgcolor = body->Attribute("bgcolor")) {
        COLORREF colour = ParseHexColour(*bgcolor);
        if (colour != CLR_INVALID) return colour;
    }
    if (const std::wstring* style = body->Attribute("style")) {
        COLORREF colour = BackgroundIn(*style);
        if (colour != CLR_INVALID) return colour;
    }
    std::wstring sheets;
    StyleSheets(root, sheets);
    for (size_t at = 0; (at = sheets.find(L"body", at)) != std::wstring::npos; at += 4) {
        bool wordStart = at == 0 || !std::iswalnum(sheets[at - 1]);
        size_t open = sheets.find_first_not_of(L" \t\r\n", at + 4);
        if (!wordStart || open == std::wstring::npos || sheets[open] != L'{') continue;
        size_t close = sheets.find(L'}', open);
        COLORREF colour = BackgroundIn(sheets.substr(open, close == std::wstring::npos ? std::wstring::npos : close - open));
        if (colour != CLR_INVALID) return colour;
    }
    return CLR_INVALID;
}

}  // namespace htmlstandin
