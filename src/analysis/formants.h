// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/fft.h"
#include "analysis/signal_kernels.h"
#include "numeric/zrhqr.h"

namespace sonlet {

// Formant estimation from a pitch-adaptive, cepstrally smoothed spectral envelope: the log
// spectrum is liftered with a cut that grows with the pitch lag, so that the harmonics of the
// voice are smoothed away and only the vocal-tract resonances remain; an order-8 predictor of
// that envelope gives the resonances as polynomial roots.

inline constexpr int kFormantRoots = 8;  // roots of the order-8 predictor, indexed 1..8

// Nine autocorrelation values of the smoothed power envelope of one frame.
// in: frame[0..299] pre-emphasised and windowed; in: lag, the pitch lag T of the same frame;
// in: tables for 512 points; out: R[0..8].
void envelope_autocorrelation(const float frame[], float lag, const FftTables& tables, float R[],
                              const SignalKernels& kernels = kFastKernels);

// Zeroes the quefrencies from the cut 0.22 T ln T (T = lag) up to 512 minus the cut, so that
// only the slow variation of the log spectrum, the vocal-tract envelope, remains.
// in/out: ceps[0..511]; in: lag.
void lifter(float ceps[], float lag);

// Roots of the predictor polynomial a[0] + a[1] z + ... + a[8] z^8 into wr[1..8], wi[1..8], as
// zrhqr gives them. Also kBadArguments, leaving the arrays as they were, when the companion
// matrix would overflow (a leading coefficient so small that an entry is infinite).
// in: a[0..8]; in/out: wr[0..8], wi[0..8].
RootsStatus predictor_roots(const float a[], float wr[], float wi[]);

// Angles, radii and frequencies of the predictor roots, and the accepted frequency of each:
// roots with a positive angle and a radius of at least 0.8 (poles within 1.25 of the centre).
// in: wi[1..8], wr[1..8]; out: freq[1..8], angle[1..8], radius[1..8]; out: acc[1..8], the
// frequency in Hz or 0 for a rejected root. Index 0 of the outputs is not written.
void roots_to_formants(const float wi[], const float wr[], float freq[], float angle[],
                       float radius[], float acc[]);

// The accepted frequencies in order of decreasing real part of their roots (for poles near the
// unit circle, increasing frequency), then zeros.
// in: acc[1..8]; out: candidates[0..7].
void formant_candidates(const float acc[], float candidates[]);

// Formant step of one frame up to its candidates: envelope, predictor, roots, acceptance.
// The root arrays belong to the caller and persist between frames: when the root finder gives
// up (kTooManyIterations) or cannot take the polynomial (kBadArguments), the entries it did not
// reach keep an earlier frame's roots. Returns what the root finder said.
// in: frame[0..299] pre-emphasised and windowed; in: lag; in: tables for 512 points;
// in/out: wr[0..8], wi[0..8] (1..8 used); out: candidates[0..7].
RootsStatus formant_step(const float frame[], float lag, const FftTables& tables, float wr[],
                         float wi[], float candidates[],
                         const SignalKernels& kernels = kFastKernels);

// Median step, run only for loud and voiced frames: each candidate through its own running
// median of five. in/out: f1_history[0..4], f2_history[0..4]; out: *f1, *f2.
void formant_medians(float f1_candidate, float f2_candidate, float f1_history[], float f2_history[],
                     float* f1, float* f2);

}  // namespace sonlet
