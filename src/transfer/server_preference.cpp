#include "transfer/server_preference.h"

std::vector<size_t> CServerPreference::Order() const {
    const std::lock_guard<std::mutex> hold(mutex_);
    std::vector<size_t> order;
    order.reserve(count_);
    for (size_t step = 0; step < count_; ++step) order.push_back((first_ + step) % count_);
    return order;
}

void CServerPreference::Demote(size_t index) {
    const std::lock_guard<std::mutex> hold(mutex_);
    if (count_ > 0 && index == first_) first_ = (first_ + 1) % count_;
}
