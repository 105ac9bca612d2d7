#include "Pitch.h"

#include <algorithm>

double dominantPitch(const std::vector<float>& s, double rate)
{
    const size_t n = s.size() / 2;
    const int minLag = static_cast<int>(rate / 1000), maxLag = static_cast<int>(rate / 50);
    if (s.size() < n + static_cast<size_t>(maxLag) + 2)
        return 0;
    std::vector<double> ac(static_cast<size_t>(maxLag) + 2, 0.0);
    for (int lag = minLag - 1; lag <= maxLag + 1; ++lag) {
        double sum = 0;
        for (size_t i = 0; i < n; ++i)
            sum += double(s[i]) * s[i + static_cast<size_t>(lag)];
        ac[static_cast<size_t>(lag)] = sum;
    }
    double best = 0;
    for (int lag = minLag; lag <= maxLag; ++lag)
        best = std::max(best, ac[static_cast<size_t>(lag)]);
    for (int lag = minLag; lag <= maxLag; ++lag) {
        const double a = ac[static_cast<size_t>(lag) - 1], b = ac[static_cast<size_t>(lag)],
                     c = ac[static_cast<size_t>(lag) + 1];
        if (b >= 0.9 * best && b >= a && b >= c) {
            const double shift = 0.5 * (a - c) / (a - 2 * b + c);
            return rate / (lag + shift);
        }
    }
    return 0;
}
