// The block's 224-point time, magnitude and phase curves against numpy's computation from the
// slot's own working buffer (tests/scripts/irblock_curves.py).
#include "IrPanelTestSupport.h"

using namespace irpanel_test;

namespace
{
struct CurveCase
{
    const char* name;
    int length, offset;
    float phase, gain;
    bool invert;
};
} // namespace

class IrCurves : public IrPanelTest, public ::testing::WithParamInterface<CurveCase>
{
};

TEST_P (IrCurves, MatchNumpy)
{
    const auto c = GetParam();
    const auto f = wav ("fixture.wav", engine_test::decayingIr (3000, 48000.0, 1.3), 48000.0);
    project().setIrRecord (0, f, false, false, c.length, c.offset, c.phase, c.invert, c.gain);
    project().setIrChanged (0, true);
    tick (0);
    auto& b = block (0);
    ASSERT_EQ (b.getLook(), PellmixIrBlock::Look::loaded);

    const float* work = engine().getSlot (0).getWorkBuffer (0);
    float peak = 0.0f;
    for (int i = 0; i < PellmixIrSlot::workLength; ++i)
        peak = std::max (peak, std::abs (work[i]));
    if (c.gain < -20.0f)
    {
        ASSERT_LT (peak, 0.1f) << "the quiet case is drawn relative to 0.1";
    }

    engine_test::writeFloats (dir.child ("work.f32"), work, PellmixIrSlot::workLength);
    engine_test::writeFloats (dir.child ("time.f32"), b.getTimeCurve().data(), 224);
    engine_test::writeFloats (dir.child ("magnitude.f32"), b.getMagnitudeCurve().data(), 224);
    engine_test::writeFloats (dir.child ("phase.f32"), b.getPhaseCurve().data(), 224);
    std::cout << pellmix_test::runPythonScript ("irblock_curves.py", {dir.path()});

    float largest = 0.0f;
    for (float v : b.getTimeCurve())
        largest = std::max (largest, std::abs (v));
    EXPECT_LE (largest, c.gain < -20.0f ? 20.0f : 40.0f);
}

INSTANTIATE_TEST_SUITE_P (
    Shapes, IrCurves,
    ::testing::Values (CurveCase{"FullWindow", 2048, 0, 0.0f, 0.0f, false},
                       CurveCase{"ShapedAndInverted", 1200, 150, 37.5f, -4.0f, true},
                       CurveCase{"LeadingZerosAndLongDelay", 2048, -300, 90.0f, 6.0f, false},
                       CurveCase{"QuietIrDrawnRelativeToATenth", 2048, 0, 0.0f, -26.0f, false}),
    [] (const auto& testInfo) { return std::string (testInfo.param.name); });
