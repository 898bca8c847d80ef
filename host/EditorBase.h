#pragma once

#include "host/VstInterface.h"

#include <cstdint>

/// What an effect's editor window must offer to the dispatcher's editor opcodes. Tessaloom has no editor of its own
/// (the host shows the parameters in its generic editor); an effect that adds one owns it through EffectBase::editor,
/// and the base destroys it.
class EditorBase
{
public:
    virtual ~EditorBase() = default;

    /// Stores the address of the editor's rectangle (pixels) in *rect; true when it did.
    virtual bool getRect(ERect** rect) = 0;
    /// Opens the editor inside the host's native parent window; true on success.
    virtual bool open(void* parentWindow) = 0;
    /// Closes the editor window.
    virtual void close() = 0;
    /// Lets the editor do its periodic work on the host's user-interface thread.
    virtual void idle() = 0;
    /// A key went down while the editor had the focus; true when the editor used it.
    virtual bool onKeyDown(VstKeyCode& key) = 0;
    /// A key went up while the editor had the focus; true when the editor used it.
    virtual bool onKeyUp(VstKeyCode& key) = 0;
    /// Selects how knobs follow the mouse (the host's knob-mode setting); true when the editor accepted it.
    virtual bool setKnobMode(int32_t mode) = 0;
};
