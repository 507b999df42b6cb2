#pragma once

#include "commands/entry_preview.h"

#include <functional>

namespace archive {

// How a preview shows an entry, for both windows.
enum class PreviewView { Problem, Image, Text, Hex };

// What a face can decode as an image: by the name's extension (a format
// without a signature, such as TGA, is known by its name alone), and by the
// content's own signature. Each answers whether the content decodes.
struct ImageDecoding {
    std::function<bool()> byName;
    std::function<bool()> byContent;
};

// The choice: a damaged or unreadable entry shows why; then an image its name
// says it is; then text, when the content reads as text (text is never sent
// to a decoder that guesses by content); then an image by its content; else
// a hex dump.
PreviewView ChoosePreviewView(const EntryPreview& preview, const ImageDecoding& decoding);

} // namespace archive
