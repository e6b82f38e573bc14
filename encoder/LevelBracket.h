#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

namespace zarn {

// A bin's level in dB from its power p = re² + im²: 20·log10 of the magnitude.
inline double levelOfPower(double p) { return 20 * std::log10(std::sqrt(p)); }

// Decides a threshold test on a bin's level from its power alone, so that the
// logarithm is needed only for powers very close to the threshold.
//
// `boundary` is found once by bisection over the doubles: the lowest power
// whose computed level passes the test. Outside a bracket of ±2^−30 relative
// around it the outcome is certain: a power 2^−30 away changes the true level
// by 10·log10(1 + 2^−30) ≈ 4·10⁻⁹ dB, while sqrt, log10 and the product by 20
// together err by less than 10⁻¹³ dB at any level up to several hundred dB.
// Inside the bracket the caller evaluates the level itself.
class LevelBracket {
public:
    enum class Outcome { below, above, evaluate };

    // A bracket that decides nothing: every power is evaluated.
    LevelBracket() : low_(-HUGE_VAL), high_(HUGE_VAL) {}

    // `passes(level)` must be monotone: false for low levels, true for high.
    template <class Test>
    static LevelBracket find(Test passes) {
        std::uint64_t low = 0;                    // power 0: level −∞, fails
        std::uint64_t high = bitsOf(1e300);       // level 3000 dB, passes
        while (high - low > 1) {
            const std::uint64_t middle = low + (high - low) / 2;
            if (passes(levelOfPower(powerOf(middle)))) high = middle;
            else low = middle;
        }
        const double boundary = powerOf(high);
        return LevelBracket(boundary * (1 - 0x1p-30), boundary * (1 + 0x1p-30));
    }

    // Whether power p certainly fails (below), certainly passes (above), or
    // must be evaluated. A NaN power is always evaluated.
    Outcome classify(double p) const {
        if (p < low_) return Outcome::below;
        if (p > high_) return Outcome::above;
        return Outcome::evaluate;
    }

    double low() const { return low_; }
    double high() const { return high_; }

private:
    LevelBracket(double low, double high) : low_(low), high_(high) {}

    static std::uint64_t bitsOf(double value) {
        std::uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        return bits;
    }
    static double powerOf(std::uint64_t bits) {
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    double low_;   // below this power the test certainly fails
    double high_;  // above this power the test certainly passes
};

}  // namespace zarn
