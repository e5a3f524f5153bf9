// Checked invariants: the rules a structure's code relies on, stated where they are relied on.
//
//   CINEVO_INVARIANT(condition, "rule")
//
// is checked in every build but those made with CINEVO_NO_INVARIANTS (the CMake option
// CINEVO_INVARIANTS: on for the test, debug and sanitizer builds, off for a Release build,
// whatever NDEBUG says) and compiles to nothing there; the condition must therefore have no
// effect of its own. A broken invariant means the runtime's own state is wrong, so carrying on
// could only damage data: the check reports the rule, the condition and where it was found on
// standard error and aborts.
//
// Structures whose rules span many objects also offer CheckInvariants(), a full walk over their
// state made of these checks; the tests call it after every step of their model tests. It is
// cheap enough for a test and far too slow for an operation's hot path.
#pragma once

#if !defined(CINEVO_NO_INVARIANTS)
#define CINEVO_CHECK_INVARIANTS 1
#endif

namespace cinevo {

// True when this build checks invariants.
inline constexpr bool kCheckInvariants =
#if defined(CINEVO_CHECK_INVARIANTS)
    true;
#else
    false;
#endif

// Reports a broken invariant and ends the process.
[[noreturn]] void InvariantBroken(const char* rule, const char* condition, const char* file, int line);

}  // namespace cinevo

#if defined(CINEVO_CHECK_INVARIANTS)
#define CINEVO_INVARIANT(condition, rule) \
  ((condition) ? static_cast<void>(0) : ::cinevo::InvariantBroken(rule, #condition, __FILE__, __LINE__))
#else
// Not evaluated, but still compiled, so that a check cannot rot in builds that skip it.
#define CINEVO_INVARIANT(condition, rule) static_cast<void>(sizeof((condition) ? 1 : 0))
#endif
