#include "sky/horizon_brackets.h"

#include <algorithm>
#include <cmath>

namespace sky {

namespace {

double Wrap(double degrees) {
    if (degrees >= 0 && degrees < 360) return degrees;  // most: the sun's azimuths
    if (degrees < 0 && degrees >= -360) {               // the rest of them: what the fmods below give
        const double up = degrees + 360;
        return up == 360 ? 0 : up;
    }
    return std::fmod(std::fmod(degrees, 360.0) + 360.0, 360.0);
}

}  // namespace

HorizonBrackets::HorizonBrackets(const std::vector<double>& azimuths) {
    order_.resize(azimuths.size());
    for (std::size_t i = 0; i < order_.size(); ++i) order_[i] = i;
    std::sort(order_.begin(), order_.end(),
              [&](std::size_t a, std::size_t b) { return Wrap(azimuths[a]) < Wrap(azimuths[b]); });
    for (std::size_t i : order_) wrapped_.push_back(Wrap(azimuths[i]));
}

HorizonBrackets::Place HorizonBrackets::placeOf(double azimuth) const {
    const double wanted = Wrap(azimuth);
    const std::size_t n = order_.size();
    // The last direction at or before it, else the last of all (the turn past 360).
    const std::size_t atOrBefore = std::upper_bound(wrapped_.begin(), wrapped_.end(), wanted) - wrapped_.begin();
    const std::size_t before = atOrBefore == 0 ? n - 1 : atOrBefore - 1;
    const std::size_t after = before + 1 == n ? 0 : before + 1;
    const double gap = Wrap(wrapped_[after] - wrapped_[before]);
    return {before, gap == 0 ? 0 : Wrap(wanted - wrapped_[before]) / gap};
}

skyline::Bracket HorizonBrackets::at(double azimuth) const {
    const Place place = placeOf(azimuth);
    const std::size_t n = order_.size();
    return {order_[place.before], order_[place.before + 1 == n ? 0 : place.before + 1], place.t};
}

}  // namespace sky
