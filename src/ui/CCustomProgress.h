// A progress bar made of one gradient picture (PNG 141): the bar reveals the left fraction
// `progress` of the picture, stretched over the same fraction of the control's width.
#pragma once

#include <windows.h>
#include <gdiplus.h>

#include <memory>

#include "framework/StaticControl.h"

class CCustomProgress : public ombrix::StaticControl {
  public:
    CCustomProgress();
    ~CCustomProgress() override;

    float progress = 0.0f;  // fraction done; the owner keeps it within 0 to 1 and invalidates
    std::unique_ptr<Gdiplus::Image> fillImage;
    int fillImageWidth = 0;
    int fillImageHeight = 0;

    // (Re)loads PNG 141 as the fill picture; the owner calls it once from its initialisation.
    void LoadFillImage();

  protected:
    // Adds SS_OWNERDRAW.
    void PreSubclassWindow() override;
    void OnPaint() override;
    // Draws into the given DC (printing and snapshots).
    void OnPrintClient(HDC dc, UINT flags) override;
    // Answers 0, erases nothing.
    BOOL OnEraseBkgnd(HDC dc) override;

  private:
    void Draw(HDC dc);
};
