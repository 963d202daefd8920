#include "engine/PellmixEngine.h"

#include "engine/PellmixRamp.h"
#include "engine/PellmixThreadCheck.h"
#include "engine/PellmixWorkers.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace
{
constexpr int eqBands = 31;
constexpr float eqRangeDb = 6.0f;
constexpr int eqFrequencyMode = 2; // ISO third-octave centres
constexpr int eqQMode = 1;         // third-octave Q

void copyIfDistinct (const float* in, float* out, int n)
{
    if (in != out)
        std::copy (in, in + n, out);
}
} // namespace

PellmixEngine::PellmixEngine() = default;

void PellmixEngine::initialise()
{
    PELLMIX_ASSERT_MESSAGE_THREAD();
    while (slots.size() < numSlots)
        slots.add (new PellmixIrSlot());
    // A new slot starts active; nothing is loaded yet, so the rule makes every slot inactive.
    updateActiveSlots();
    sum.eqBank.setup (eqBands, eqRangeDb, workingRate, eqFrequencyMode, eqQMode);
}

bool PellmixEngine::loadIr (int slot, const juce::File& file)
{
    PELLMIX_ASSERT_MESSAGE_THREAD();
    auto prepared = prepareIrs ({{slot, file}});
    return loadPreparedIr (prepared.front());
}

std::vector<PellmixEngine::PreparedIr>
PellmixEngine::prepareIrs (const std::vector<std::pair<int, juce::File>>& files)
{
    PELLMIX_ASSERT_MESSAGE_THREAD();
    std::vector<PreparedIr> prepared (files.size());
    std::vector<size_t> toRead; // one entry per slot: a slot's reader serves one read at a time
    for (size_t i = 0; i < files.size(); ++i)
    {
        const int slot = files[i].first;
        prepared[i].slot = slot;
        const bool listed =
            std::any_of (toRead.begin(), toRead.end(), [&] (size_t k) { return files[k].first == slot; });
        if (juce::isPositiveAndBelow (slot, slots.size()) && !listed)
            toRead.push_back (i);
    }
    PellmixWorkers::forEach ((int)toRead.size(),
                             [&] (int k)
                             {
                                 const auto i = toRead[(size_t)k];
                                 auto& p = prepared[i];
                                 p.read = slots[p.slot]->readFile (files[i].second, workingRate, p.data);
                             });
    return prepared;
}

bool PellmixEngine::loadPreparedIr (PreparedIr& prepared)
{
    PELLMIX_ASSERT_MESSAGE_THREAD();
    if (!prepared.read || !juce::isPositiveAndBelow (prepared.slot, slots.size()))
        return false;
    prepared.read = false; // taken once
    auto* s = slots[prepared.slot];
    s->take (prepared.data, workingRate);
    s->allocateWorkBuffers();
    loaded[(size_t)prepared.slot] = true;
    updateActiveSlots();
    return true;
}

void PellmixEngine::removeIr (int slot)
{
    PELLMIX_ASSERT_MESSAGE_THREAD();
    if (!juce::isPositiveAndBelow (slot, slots.size()))
        return;
    slots[slot]->clear();
    loaded[(size_t)slot] = false;
    updateActiveSlots();
}

void PellmixEngine::setMute (int slot, bool shouldMute)
{
    PELLMIX_ASSERT_MESSAGE_THREAD();
    if (!juce::isPositiveAndBelow (slot, numSlots))
        return;
    mute[(size_t)slot] = shouldMute;
    updateActiveSlots();
}

void PellmixEngine::setSolo (int slot, bool shouldSolo)
{
    PELLMIX_ASSERT_MESSAGE_THREAD();
    if (!juce::isPositiveAndBelow (slot, numSlots))
        return;
    solo[(size_t)slot] = shouldSolo;
    updateActiveSlots();
}

void PellmixEngine::updateActiveSlots()
{
    // Only a solo on a slot that holds an IR silences the others: a soloed empty slot would
    // otherwise mute everything while playing nothing itself.
    bool anySolo = false;
    for (size_t k = 0; k < solo.size(); ++k)
        anySolo = anySolo || (solo[k] && loaded[k]);
    for (int i = 0; i < slots.size(); ++i)
    {
        const auto k = (size_t)i;
        slots[i]->setActive (loaded[k] && (solo[k] || (!mute[k] && !anySolo)));
    }
    playable = anyPlayableSlot();
}

bool PellmixEngine::anyPlayableSlot() const
{
    return std::any_of (slots.begin(), slots.end(),
                        [] (const PellmixIrSlot* s) { return s->active && s->getLength() != 0; });
}

void PellmixEngine::setIrParameters (int slot, int length, int offset, float phase, bool invert, float gainDb)
{
    PELLMIX_ASSERT_MESSAGE_THREAD();
    if (!juce::isPositiveAndBelow (slot, slots.size()))
        return;
    auto* s = slots[slot];
    s->setWindow (length, offset);
    s->setPhase (phase);
    if (invert)
        for (int b = 0; b < PellmixIrData::numBands; ++b)
        {
            float* work = s->getWorkBuffer (b);
            for (int i = 0; i < PellmixIrSlot::workLength; ++i)
                work[i] = -work[i];
        }
    s->setGain (gainDb);
}

void PellmixEngine::blend (const float* eqGainsDb, bool updateGains, bool applyEq)
{
    PELLMIX_ASSERT_MESSAGE_THREAD();
    const juce::ScopedLock serialised (blendLock);

    if (!anyPlayableSlot())
    {
        sum.clear();
        blendHeld = false;
        // The pairs keep their IRs, but none of them may sound again before a new blend.
        const PellmixSpinLock::Scope audio (lock);
        dryPending = true;
        return;
    }

    // A sum that is not finite (from shaping values no control offers) must never play: the
    // convolvers keep what they play and the sum keeps its previous blend.
    auto playing = sum.bands;
    sum.sumActiveSlots (slots);
    sum.normalise();
    if (applyEq)
        sum.applyEq (eqGainsDb, updateGains);
    if (!sum.isFinite())
    {
        sum.bands = std::move (playing);
        return;
    }

    // Convert and transform the new IR once, outside the audio lock; every convolver gets a
    // copy in its spare spectrum, whichever pair turns out to be idle.
    const bool prepared = convolvers[0].prepareIr (sum.bands[0].data(), PellmixIrSum::sumLength);
    if (prepared)
        for (size_t c = 1; c < convolvers.size(); ++c)
            convolvers[c].copyPreparedIr (convolvers[0]);

    using clock = std::chrono::steady_clock;
    const auto requestedAt = clock::now();
    {
        const PellmixSpinLock::Scope audio (lock);
        const auto lockedAt = clock::now();
        if (!crossfadePending)
            currentPair = 1 - currentPair.load();
        crossfadePending = true;
        dryPending = false;
        if (prepared)
        {
            const auto pair = (size_t)currentPair.load();
            convolvers[pair].commitIr();
            convolvers[pair + 2].commitIr();
        }
        lastBlendLockMicroseconds =
            std::chrono::duration<double, std::micro> (clock::now() - lockedAt).count();
    }
    lastPublishMicroseconds = std::chrono::duration<double, std::micro> (clock::now() - requestedAt).count();
    blendHeld = true;
}

bool PellmixEngine::exportIr (const juce::File& file)
{
    PELLMIX_ASSERT_MESSAGE_THREAD();
    const juce::ScopedLock serialised (blendLock);
    return sum.writeVirFile (file);
}

void PellmixEngine::prepareToPlay (int blockSize, double sampleRate)
{
    const juce::ScopedLock serialised (blendLock);
    const PellmixSpinLock::Scope audio (lock);

    blockSize = std::max (1, blockSize);
    for (auto& convolver : convolvers)
        convolver.setup (sum.bands[0].data(), PellmixIrSum::sumLength, blockSize, sampleRate);
    scratchNew.assign ((size_t)blockSize, 0.0f);
    scratchOld.assign ((size_t)blockSize, 0.0f);
    preparedBlockSize = convolvers[0].getFftSize() > 0 ? blockSize : 0;
}

void PellmixEngine::reset()
{
    const juce::ScopedLock serialised (blendLock);
    const PellmixSpinLock::Scope audio (lock);
    for (auto& convolver : convolvers)
        convolver.reset();
    currentPair = 0;
    crossfadePending = false;
    dryPending = false;
    // Every pair holds the sum since prepareToPlay(); an empty sum must not sound.
    heard = Heard::nothing;
    audiblePair = 0;
    awaitingPublish = !blendHeld;
}

bool PellmixEngine::isCrossfadePending() const
{
    const PellmixSpinLock::Scope audio (lock);
    return crossfadePending;
}

void PellmixEngine::processBlock (const float** inputs, float** outputs, int numChannels, int numSamples,
                                  bool enabled)
{
    numChannels = std::min (numChannels, 2);
    if (numChannels <= 0 || numSamples <= 0)
        return;

    if (preparedBlockSize == 0)
    {
        for (int ch = 0; ch < numChannels; ++ch)
            copyIfDistinct (inputs[ch], outputs[ch], numSamples);
        return;
    }

    // One try for the lock. Without it the block plays on as if nothing had been published: the
    // pair that was playing is never the one a publish fills.
    const PellmixSpinLock::AudioTryScope audio (lock);
    Sound to{false, audiblePair};
    if (audio.owns())
    {
        if (crossfadePending)
        {
            to.pair = currentPair.load();
            awaitingPublish = false;
        }
        if (dryPending)
            awaitingPublish = true;
        crossfadePending = dryPending = false;
    }
    else
    {
        ++busyBlocks;
    }

    const bool sounding = playable.load();
    if (!sounding)
        awaitingPublish = true;
    to.wet = enabled && sounding && !awaitingPublish;

    const Sound from{heard == Heard::nothing ? to.wet : heard == Heard::wet, audiblePair};
    if (to.wet && !from.wet)
        for (int ch = 0; ch < numChannels; ++ch)
            convolvers[(size_t)(to.pair + 2 * ch)].discardTail();

    for (int offset = 0; offset < numSamples; offset += preparedBlockSize)
        processPiece (inputs, outputs, numChannels, offset, std::min (preparedBlockSize, numSamples - offset),
                      numSamples, from, to);
    heard = to.wet ? Heard::wet : Heard::dry;
    audiblePair = to.pair;
}

// One piece of at most the prepared size, starting `offset` samples into a call of `fadeLength`
// samples. When `from` and `to` differ the piece is part of a ramp over the whole call (one pair
// to another, or the dry input to a pair or back). The convolver of `to`'s pair runs in every
// block, convolving or not, so that the output spectrum follows what plays.
void PellmixEngine::processPiece (const float* const* in, float* const* out, int numChannels, int offset,
                                  int n, int fadeLength, Sound from, Sound to)
{
    const bool ramp = from.wet != to.wet || (to.wet && from.pair != to.pair);
    for (int ch = 0; ch < numChannels; ++ch)
    {
        const float* src = in[ch] + offset;
        float* dst = out[ch] + offset;
        auto& next = convolvers[(size_t)(to.pair + 2 * ch)];
        auto& previous = convolvers[(size_t)(from.pair + 2 * ch)];

        if (!ramp)
        {
            next.process (src, dst, n, to.wet);
            if (!to.wet)
                copyIfDistinct (src, dst, n);
            continue;
        }

        // Both sides are written aside before dst, which may be src, is written.
        const float* oldSide = src;
        const float* newSide = src;
        if (from.wet)
        {
            previous.process (src, scratchOld.data(), n, true);
            oldSide = scratchOld.data();
        }
        if (to.wet)
            newSide = scratchNew.data();
        if (to.wet || !from.wet || from.pair != to.pair) // a convolver runs once per block
            next.process (src, scratchNew.data(), n, to.wet);
        pellmixRamp (oldSide, newSide, dst, n, offset, fadeLength);
    }
}

void PellmixEngine::prepareSpectrum (int kind, int fftSize, int numPoints, double sampleRate)
{
    switch (kind)
    {
        case slotSpectrum:
            for (auto* slot : slots)
            {
                slot->analyser.prepare (fftSize, numPoints, sampleRate);
                slot->analyser.clear();
            }
            break;
        case sumSpectrum:
            sum.analyser.prepare (fftSize, numPoints, sampleRate);
            sum.analyser.clear();
            break;
        case outputSpectrum:
        case inputSpectrum:
        {
            const PellmixSpinLock::Scope audio (lock);
            convolvers[0].prepareSpectrum (fftSize, numPoints, sampleRate);
            convolvers[1].prepareSpectrum (fftSize, numPoints, sampleRate);
            break;
        }
        default:
            break;
    }
}

namespace
{
const float* dataOrNull (const std::vector<float>& values)
{
    return values.empty() ? nullptr : values.data();
}
} // namespace

const float* PellmixEngine::getMagnitudes (int kind, int slot)
{
    switch (kind)
    {
        case slotSpectrum:
        {
            if (!juce::isPositiveAndBelow (slot, slots.size()))
                return nullptr;
            auto* s = slots[slot];
            if (!s->analysisValid)
                s->analyse();
            return dataOrNull (s->analyser.magnitudesDb);
        }
        case sumSpectrum:
            if (!sum.analysisValid)
                sum.analyse();
            return dataOrNull (sum.analyser.magnitudesDb);
        case outputSpectrum:
        {
            auto& c = outputConvolver();
            if (!c.isAnalysisValid())
                c.analyse();
            return dataOrNull (c.outputAnalyser.magnitudesDb);
        }
        case inputSpectrum:
            return dataOrNull (outputConvolver().inputAnalyser.magnitudesDb);
        default:
            return nullptr;
    }
}

const float* PellmixEngine::getPhases (int kind, int slot)
{
    switch (kind)
    {
        case slotSpectrum:
        case sumSpectrum:
        case outputSpectrum:
            if (getMagnitudes (kind, slot) == nullptr)
                return nullptr;
            if (kind == slotSpectrum)
                return dataOrNull (slots[slot]->analyser.phases);
            if (kind == sumSpectrum)
                return dataOrNull (sum.analyser.phases);
            return dataOrNull (outputConvolver().outputAnalyser.phases);
        default:
            return nullptr;
    }
}

juce::Time PellmixEngine::getChangeTime (int kind, int slot, bool analysisTime) const
{
    switch (kind)
    {
        case slotSpectrum:
        {
            if (!juce::isPositiveAndBelow (slot, slots.size()))
                return {};
            const auto* s = slots[slot];
            return analysisTime ? s->analysedTime : s->changedTime;
        }
        case sumSpectrum:
            return analysisTime ? sum.analysedTime : sum.changedTime;
        case outputSpectrum:
        {
            const auto& c = convolvers[(size_t)currentPair.load()];
            return analysisTime ? c.getAnalysedTime() : c.getChangedTime();
        }
        default:
            return {};
    }
}

int PellmixEngine::getIrLength (int kind, int slot) const
{
    if (kind == slotSpectrum)
        return juce::isPositiveAndBelow (slot, slots.size()) ? slots[slot]->getLength() : -1;
    if (kind == sumSpectrum)
        return sum.length;
    return -1;
}
