// The scale factor rule and PNG artwork decoded from this executable's own resources.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>

#include "app/PngResource.h"
#include "app/ScaleFactor.h"
#include "tests/app/TestResources.h"

TEST(ScaleFactor, DotsPerInchOtherThan96DecideAlone) {
    EXPECT_FLOAT_EQ(1.25f, ComputeScaleFactor(120, 1920));
    EXPECT_FLOAT_EQ(1.5f, ComputeScaleFactor(144, 800));
    EXPECT_FLOAT_EQ(1.5f, ComputeScaleFactor(144, 3840));
    EXPECT_FLOAT_EQ(1.0f, ComputeScaleFactor(0, 1366));  // unreadable resolution
}

TEST(ScaleFactor, At96DotsPerInchTheScreenWidthDecides) {
    EXPECT_FLOAT_EQ(1.0f, ComputeScaleFactor(96, 1503));
    EXPECT_FLOAT_EQ(1.0f, ComputeScaleFactor(96, 1920));
    EXPECT_NEAR(0.78229f, ComputeScaleFactor(96, 1502), 1e-5);
    EXPECT_NEAR(0.711458f, ComputeScaleFactor(96, 1366), 1e-6);
    EXPECT_NEAR(1.333333f, ComputeScaleFactor(96, 2560), 1e-6);
    EXPECT_FLOAT_EQ(2.0f, ComputeScaleFactor(96, 3840));
    EXPECT_FLOAT_EQ(1.0f, ComputeScaleFactor(96, 0));
    EXPECT_FLOAT_EQ(1.0f, ComputeScaleFactor(96, -5));
}

TEST(ScaleFactor, ComputedOnceForTheProcess) {
    const float first = GetScaleFactor();
    EXPECT_GT(first, 0.0f);
    EXPECT_EQ(first, GetScaleFactor());
    EXPECT_EQ(7, Scaled(0.711458f, 10));  // truncation, not rounding
    EXPECT_EQ(12, Scaled(1.25f, 10));
}

class PngResourceTest : public ::testing::Test {
  protected:
    GdiplusSession gdiplus_;
};

TEST_F(PngResourceTest, DecodesTheWholePicture) {
    ASSERT_TRUE(gdiplus_.Started());
    std::unique_ptr<Gdiplus::Image> image(LoadPngImage(IDP_TEST_PATTERN));
    ASSERT_EQ(Gdiplus::Ok, image->GetLastStatus());
    EXPECT_EQ(4u, image->GetWidth());
    EXPECT_EQ(3u, image->GetHeight());

    // Width 0 (or height 0) gives the whole bitmap, whatever the other numbers say.
    std::unique_ptr<Gdiplus::Bitmap> whole(LoadPngBitmap(IDP_TEST_PATTERN, 1, 1, 0, 50));
    ASSERT_NE(nullptr, whole);
    ASSERT_EQ(Gdiplus::Ok, whole->GetLastStatus());
    EXPECT_EQ(4u, whole->GetWidth());
    EXPECT_EQ(3u, whole->GetHeight());
    Gdiplus::Color pixel;
    ASSERT_EQ(Gdiplus::Ok, whole->GetPixel(3, 2, &pixel));
    EXPECT_EQ(120, pixel.GetR());
    EXPECT_EQ(120, pixel.GetG());
    EXPECT_EQ(200, pixel.GetB());
    EXPECT_EQ(255, pixel.GetA());
}

TEST_F(PngResourceTest, CropsTheRectangle) {
    std::unique_ptr<Gdiplus::Bitmap> crop(LoadPngBitmap(IDP_TEST_PATTERN, 2, 1, 2, 2));
    ASSERT_NE(nullptr, crop);
    EXPECT_EQ(2u, crop->GetWidth());
    EXPECT_EQ(2u, crop->GetHeight());
    Gdiplus::Color pixel;
    ASSERT_EQ(Gdiplus::Ok, crop->GetPixel(0, 0, &pixel));
    EXPECT_EQ(80, pixel.GetR());  // pixel (2, 1) of the picture
    EXPECT_EQ(60, pixel.GetG());

    // A rectangle reaching outside the picture cannot be cropped.
    EXPECT_EQ(nullptr, LoadPngBitmap(IDP_TEST_PATTERN, 3, 2, 4, 4));
}

TEST_F(PngResourceTest, MissingResourceDrawsNothing) {
    std::unique_ptr<Gdiplus::Image> image(LoadPngImage(IDP_TEST_MISSING));
    ASSERT_NE(nullptr, image);
    EXPECT_NE(Gdiplus::Ok, image->GetLastStatus());
    std::unique_ptr<Gdiplus::Bitmap> whole(LoadPngBitmap(IDP_TEST_MISSING, 0, 0, 0, 0));
    ASSERT_NE(nullptr, whole);
    EXPECT_NE(Gdiplus::Ok, whole->GetLastStatus());
    EXPECT_EQ(nullptr, LoadPngBitmap(IDP_TEST_MISSING, 0, 0, 2, 2));

    // Drawing the failed image into a bitmap leaves it untouched.
    Gdiplus::Bitmap canvas(8, 8, PixelFormat32bppARGB);
    {
        Gdiplus::Graphics graphics(&canvas);
        graphics.Clear(Gdiplus::Color(0, 0, 0, 0));
        graphics.DrawImage(image.get(), 0, 0);
    }
    Gdiplus::Color pixel;
    canvas.GetPixel(1, 1, &pixel);
    EXPECT_EQ(0, pixel.GetA());
}

namespace {

// Blocks in use on the process heap (where GlobalAlloc takes its memory).
int BusyProcessHeapBlocks() {
    HANDLE heap = ::GetProcessHeap();
    int busy = 0;
    ::HeapLock(heap);
    PROCESS_HEAP_ENTRY entry{};
    while (::HeapWalk(heap, &entry)) {
        if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) ++busy;
    }
    ::HeapUnlock(heap);
    return busy;
}

}  // namespace

TEST_F(PngResourceTest, LoadedPicturesGiveTheirMemoryBack) {
    // Every window and message box loads its pictures again; the copy of the PNG bytes must
    // go with the picture, not stay behind for the life of the process.
    auto loadAndDrop = [] {
        std::unique_ptr<Gdiplus::Image> image(LoadPngImage(IDP_TEST_PATTERN));
        ASSERT_EQ(Gdiplus::Ok, image->GetLastStatus());
        std::unique_ptr<Gdiplus::Bitmap> crop(LoadPngBitmap(IDP_TEST_PATTERN, 1, 1, 2, 2));
        ASSERT_NE(nullptr, crop);
    };
    for (int i = 0; i < 20; ++i) loadAndDrop();  // caches of the decoder settle
    const int before = BusyProcessHeapBlocks();
    constexpr int kRounds = 400;
    for (int i = 0; i < kRounds; ++i) loadAndDrop();
    EXPECT_LT(BusyProcessHeapBlocks() - before, kRounds / 4);
}
