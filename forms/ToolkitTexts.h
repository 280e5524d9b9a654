#pragma once

// The texts Qt itself draws (the edits' context menu, message-box buttons),
// in Japanese as Japanese Windows words them (toolkit_ja.ts).
namespace ToolkitTexts {

// Makes them Japanese whatever language the program was started in.
void useJapanese();

} // namespace ToolkitTexts
