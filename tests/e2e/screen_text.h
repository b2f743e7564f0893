#pragma once

// Reads the program's own texts off a screenshot without guessing at shapes: each candidate text
// is drawn the way the program draws it and laid over the screen. The overlay's lines are drawn
// with the program's 2D drawing layer and its default font; a message box's text is put together
// from the interface font's glyphs as the GUI rasterises them and samples them on the screen.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "e2e/running_program.h"

namespace orelens::e2e {

// The colour of the browse mode's overlay lines, packed as the drawing layer packs it (red lowest).
inline constexpr uint32_t kHudGrey = 0xFFC8C8C8u;  // 200, 200, 200

// True when overlay line `line` (its y in the panel: 10, 30, 50 or 70) shows exactly `text` in
// the colour: every fully covered pixel of the text is on the screen, and no other pixel of the
// line's rows has the text's colour.
bool HudLineShows(const Screenshot& shot, int line, const std::string& text, uint32_t rgba);

// The whole number that overlay line `line` shows between `prefix` and `suffix` (for the browse
// lines: "" and " Chunks displaying of '<world>'", or "Currently within Chunk ID " and ""), read
// digit by digit; nothing when the line does not read so.
std::optional<int64_t> ReadHudNumber(const Screenshot& shot, int line, uint32_t rgba,
                                     const std::string& prefix, const std::string& suffix);

// The field of numerals ("0123456789.-") that overlay line `line` shows right after `prefix`, read
// character by character until the character `end`.
std::optional<std::string> ReadHudField(const Screenshot& shot, int line, uint32_t rgba,
                                        const std::string& prefix, char end);

// The browse mode's position line as the overlay shows it, read field by field.
std::optional<std::string> ReadHudPositionLine(const Screenshot& shot);
// That line for a camera position (engine axes).
std::string HudPositionLine(float x, float y, float z);

// Of the candidates, the first text line of the message box in the middle of the screen; nothing
// when no box is shown or none of the candidates is what it says.
std::optional<std::string> ReadMessageBoxText(const Screenshot& shot,
                                              const std::vector<std::string>& candidates);

}  // namespace orelens::e2e
