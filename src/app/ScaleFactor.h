// The screen scale factor: design pixels (1920 wide at 96 dpi) times this give screen pixels.
#pragma once

// Computed once on first call, then fixed for the life of the process.
float GetScaleFactor();

// Replaces the factor (and marks it computed): a seam for tests that lay windows out at a
// chosen scale. The launcher itself never calls it.
void SetScaleFactorForTesting(float factor);

// The factor for a given horizontal dpi and primary screen width (the rule behind the above).
float ComputeScaleFactor(int dpi, int screenWidth);

// int(f * v): how a design coordinate becomes a screen coordinate.
inline int Scaled(float factor, int v) {
    return static_cast<int>(factor * static_cast<float>(v));
}

// Where a control with design edges (left, top, right, bottom) lands: each edge scaled on its
// own, width and height the differences of the scaled edges.
struct ScaledBox {
    int x, y, width, height;
};
inline ScaledBox ScaleEdges(float factor, int left, int top, int right, int bottom) {
    const int x = Scaled(factor, left);
    const int y = Scaled(factor, top);
    return {x, y, Scaled(factor, right) - x, Scaled(factor, bottom) - y};
}
