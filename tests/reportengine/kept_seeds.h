#pragma once
// Generated templates kept in a test by their seeds (drawn without the
// generator's newest options, as when they were found): each keeps every
// rule of the checker.

#include "lyrproperty.h"

#include <gtest/gtest.h>

#include <cstdint>

template <size_t N>
void expectSeedsKeepEveryRule(const uint64_t (&seeds)[N])
{
    for (uint64_t seed : seeds) {
        lyrprop::SeedSource src(seed);
        const lyrprop::Plan plan = lyrprop::generate(src, seed, false);
        for (const lyrprop::Failure &f : lyrprop::runPlan(plan))
            ADD_FAILURE() << plan.describe().toStdString() << "\n  " << f.Kind.toStdString() << ": " << f.Text.toStdString();
    }
}
