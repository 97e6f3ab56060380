// The state init and the face loader leave for render, set up in this
// process with the plug-in's own functions: a popup window, its back buffer,
// and a test face loaded from a file. The plug-in's code is linked into the
// test executable, so its state is this process's own.
#pragma once

#include "frame_pictures.h"
#include "records/vis_records.h"

#include <windows.h>

class RenderStage {
public:
    // A window whose client area is clientWidth x clientHeight and a back
    // buffer of frameWidth x frameHeight; the window can be made larger than
    // the frame to see what a render paints outside it.
    RenderStage(int frameWidth, int frameHeight, int clientWidth, int clientHeight);
    ~RenderStage();
    RenderStage(const RenderStage &) = delete;
    RenderStage &operator=(const RenderStage &) = delete;

    // Loads the test face of that size (a negative height: top-down).
    void setFace(int width, int height);
    // No face, with the header a load left, or none as before any load.
    void clearFace(const BITMAPINFOHEADER &header = {});

    HWND window() const { return window_; }
    int clientWidth() const { return clientWidth_; }
    int clientHeight() const { return clientHeight_; }
    Picture readWindow() const { return ::readWindow(window_, clientWidth_, clientHeight_); }
    Picture readBackBuffer() const;
    void fill(std::uint32_t colour) const { fillWindow(window_, clientWidth_, clientHeight_, colour); }
    // Destroys the window while the globals keep its handle, as when the user
    // closes it from its system menu between frames.
    void destroyWindow();

private:
    int frameWidth_, frameHeight_;
    int clientWidth_, clientHeight_;
    HWND window_ = nullptr;
};

// A VisModule that ends exactly where readable memory ends, so a read past
// the record (and so past the waveform's two rows) faults.
class GuardedModule {
public:
    GuardedModule();
    ~GuardedModule();
    GuardedModule(const GuardedModule &) = delete;
    GuardedModule &operator=(const GuardedModule &) = delete;
    VisModule *operator->() const { return module_; }
    VisModule *get() const { return module_; }
    void fillRow(int channel, int sample);

private:
    void *pages_ = nullptr;
    VisModule *module_ = nullptr;
};
