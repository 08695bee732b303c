// SPDX-License-Identifier: GPL-3.0-or-later
#include "cw_audio.h"
#include "pipeline.h"

#include "beacon_frame.h"

namespace cwaudio {

static_assert(std::tuple_size_v<decltype(AudioBeacon::confidence)> == beacon::frameLength);

CwDecoder::CwDecoder(double sampleRate, DecodeHandlers handlers)
    : m_pipeline(std::make_unique<Pipeline>(sampleRate, std::move(handlers)))
{
}

CwDecoder::~CwDecoder() = default;

void CwDecoder::feed(std::span<const float> samples)
{
    m_pipeline->feed(samples);
}

void CwDecoder::finish()
{
    m_pipeline->finish();
}

void CwDecoder::setToneHint(double hz)
{
    m_pipeline->setToneHint(hz);
}

void CwDecoder::clearToneHint()
{
    m_pipeline->clearToneHint();
}

void CwDecoder::setEarlyReports(bool on)
{
    m_pipeline->setEarlyReadings(on);
}

} // namespace cwaudio
