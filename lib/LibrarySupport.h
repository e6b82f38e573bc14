#pragma once
// What every object of the C interface shares: where it stands, the first
// cause of its failure, calls that let no exception out, creation that
// reports why it failed, and settings read as far as the caller's size.

#include <cstddef>
#include <new>
#include <utility>

#include "lib/zarn.h"

namespace zarn::library {

inline int report(int error, int* to) {
    if (to != nullptr) *to = error;
    return error;
}

// Runs `body`, which returns a code, so that no exception leaves the C
// interface: a lack of memory becomes `memory`, anything else `other`.
template <class Body>
int guarded(int memory, int other, Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return memory;
    } catch (...) {
        return other;
    }
}

// Where an object stands: it takes calls until it fails or is finished.
// While a call hands out output (or asks the caller's input functions) the
// object is busy: a call back into it from there would refill the very
// buffer being handed out, or end the stream under the call, so it is
// refused. The first cause of failure is kept, since every later call is
// refused with ZARN_ERROR_FAILED and would otherwise hide it.
class Standing {
public:
    // ZARN_OK when the object takes a call, else why not.
    int refusal() const {
        switch (state_) {
            case ZARN_STATE_OPEN: return ZARN_OK;
            case ZARN_STATE_BUSY: return ZARN_ERROR_BUSY;
            case ZARN_STATE_FAILED: return ZARN_ERROR_FAILED;
            case ZARN_STATE_FINISHED: return ZARN_ERROR_FINISHED;
        }
        return ZARN_ERROR_STATE;
    }

    // Runs a call that feeds the object and hands out its output, busy
    // meanwhile; it fails for good unless the call returns ZARN_OK, and
    // stands at `success` otherwise. The codec throws nothing once an
    // object is made, so what is thrown comes from a C++ function of the
    // caller's, and counts as its failure (`thrown`).
    template <class Feed>
    int feeding(zarn_state success, int thrown, Feed&& feed) noexcept {
        state_ = ZARN_STATE_BUSY;
        const int outcome = guarded(thrown, thrown, std::forward<Feed>(feed));
        if (outcome == ZARN_OK) {
            state_ = success;
        } else {
            fail(outcome);
        }
        return outcome;
    }

    // Fails the object for good with `cause`, unless it has failed already.
    void fail(int cause) {
        if (state_ != ZARN_STATE_FAILED) cause_ = cause;
        state_ = ZARN_STATE_FAILED;
    }
    void finish() { state_ = ZARN_STATE_FINISHED; }

    int query(int* cause) const {
        report(state_ == ZARN_STATE_FAILED ? cause_ : ZARN_OK, cause);
        return state_;
    }

private:
    zarn_state state_ = ZARN_STATE_OPEN;
    int cause_ = ZARN_OK;
};

// The state query of every object: a zarn_state, or ZARN_ERROR_ARGUMENT.
template <class Object>
int stateOf(const Object* object, int* cause) noexcept {
    if (object == nullptr) {
        report(ZARN_OK, cause);
        return ZARN_ERROR_ARGUMENT;
    }
    return object->standing.query(cause);
}

// Creates a T, or reports why not. T's constructor may build the codec's
// process-wide tables, which allocate the first time, and its checks of its
// settings report through an exception (see LibraryFailure.cpp).
template <class T, class... Args>
T* create(int* error, Args&&... args) noexcept {
    T* object = nullptr;
    report(guarded(ZARN_ERROR_MEMORY, ZARN_ERROR_ARGUMENT,
                   [&] {
                       object = new (std::nothrow) T(std::forward<Args>(args)...);
                       return object != nullptr ? ZARN_OK : ZARN_ERROR_MEMORY;
                   }),
           error);
    return object;
}

// Settings as far as the caller knows them. `settings` starts as the
// defaults; a caller built against an older header gives a smaller size,
// and every field that lies wholly within it is taken, the others keep
// their defaults. A size larger than this library's struct (a newer
// caller's fields it cannot honour), or one too small to hold `size`
// itself, is refused.
template <class Settings>
class GivenSettings {
public:
    GivenSettings(const Settings* given, Settings& settings) : given_(given) {
        settings.size = sizeof(Settings);
        known_ = given == nullptr || (given->size >= sizeof(given->size) && given->size <= sizeof(Settings));
    }
    bool known() const { return known_; }

    template <class Field>
    void take(Field Settings::*field, Settings& settings) const {
        if (given_ == nullptr) return;
        const Field& from = given_->*field;
        const auto end = static_cast<std::size_t>(reinterpret_cast<const char*>(&from) -
                                                  reinterpret_cast<const char*>(given_)) +
                         sizeof(Field);
        if (end <= given_->size) settings.*field = from;
    }

private:
    const Settings* given_;
    bool known_ = true;
};

// A bare encoder's settings as given, the defaults for what the caller's
// struct lacks, checked: false, with the reason in *error, for a size this
// library does not know or a bit rate out of range.
bool takeEncoderSettings(const zarn_encoder_settings* given, zarn_encoder_settings& settings, int* error);

}  // namespace zarn::library
