#pragma once
// The text view's accessible interface: an editable text (role EditableText) giving assistive
// tools the text, caret, selection, character rectangles and text by character, word, sentence,
// row and line; offsets count the characters of the text with "\n" between lines. The view
// itself sends the change, caret and selection notices, only while a tool listens.

namespace textview {

// Installs the factory that gives every TextView its interface; once per process.
void InstallTextViewAccessibility();

}  // namespace textview
