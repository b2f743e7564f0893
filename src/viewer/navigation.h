#pragma once

namespace orelens::viewer {

class ProgramContext;

// The input half of a main-loop pass: flying camera 0, picking, and moving and sizing the
// selection cube in the editing modes.

// Left press inside the main window: capture the mouse and decide what a drag will do.
void HandleMousePress(ProgramContext& ctx);
// After a successful keyboard read: mouse movement (look, drag, hover highlight), then the keys.
void HandleMouseAndKeys(ProgramContext& ctx);

// Leaves any editing mode's preview: shadows back as chosen, preview geometry freed.
void DropSchematicPreview(ProgramContext& ctx);

}  // namespace orelens::viewer
