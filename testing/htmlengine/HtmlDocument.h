// The document model of the HTML engine stand-in: a forgiving parser from page bytes to a tree of
// reference-counted elements, the element text without markup, and simple selectors. It is what a
// test or the demo needs from an HTML engine (find the body, read its text, paint it plainly), not
// a browser: no layout, no scripts, style sheets only as far as the body's background colour.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

struct HtmlEngineElement {
    std::string tag;  // lower case; "#text" for a text node
    std::vector<std::pair<std::string, std::wstring>> attributes;  // names in lower case
    std::wstring text;                                             // text nodes and raw style text
    std::vector<HtmlEngineElement*> children;                      // each child holds one reference
    HtmlEngineElement* parent = nullptr;                           // not a reference
    long references = 1;
    std::wstring innerText;  // the last text handed out, kept while the element lives

    const std::wstring* Attribute(const std::string& name) const;
    bool IsText() const { return tag == "#text"; }
};

namespace htmlstandin {

// Parses page bytes (UTF-8, UTF-16 with its mark, or the charset a meta tag names) into a tree.
// The root is always an "html" element; the caller owns its one reference.
HtmlEngineElement* ParseDocument(const BYTE* bytes, size_t size);

// One more reference; Release frees the element and its children when the last one goes.
void AddRef(HtmlEngineElement* element);
void Release(HtmlEngineElement* element);
bool IsLive(const HtmlEngineElement* element);  // a handle the engine handed out and still holds
long LiveElements();

// The element's text without markup: text nodes in order, runs of blanks as one, block elements on
// lines of their own; style and script content left out.
std::wstring InnerText(const HtmlEngineElement* element);

// The root and its descendants in document order that match one of the comma-separated simple
// selectors (a tag name, "*", "#id", ".class", or a tag with "#id" or ".class").
std::vector<HtmlEngineElement*> Select(HtmlEngineElement* root, const std::string& selector);

// The background colour the page gives its body (a bgcolor attribute, a style attribute or a
// body rule of a style sheet), or CLR_INVALID.
COLORREF BodyBackground(const HtmlEngineElement* root);

}  // namespace htmlstandin
