// libdispatch: the main queue, asynchronous submission of a function,
// semaphores and time.
// In Objective-C with ARC, queues are Objective-C objects, as on macOS.
#ifndef AGENT_DECLS_DISPATCH_H
#define AGENT_DECLS_DISPATCH_H

#include <stdint.h>
#include <agent_decls/annotations.h>

#if defined(__OBJC__)
#include <Foundation/Foundation.h>
@protocol OS_dispatch_object <NSObject>
@end
@protocol OS_dispatch_queue <OS_dispatch_object>
@end
typedef NSObject<OS_dispatch_queue>* dispatch_queue_t;
@protocol OS_dispatch_semaphore <OS_dispatch_object>
@end
typedef NSObject<OS_dispatch_semaphore>* dispatch_semaphore_t;
// A new dispatch object is returned retained (ARC releases it).
#define AGENT_DISPATCH_RETURNS_RETAINED __attribute__((ns_returns_retained))
#else
typedef struct dispatch_queue_s* dispatch_queue_t;
typedef struct dispatch_semaphore_s* dispatch_semaphore_t;
#define AGENT_DISPATCH_RETURNS_RETAINED
#endif

typedef uint64_t dispatch_time_t;
#define DISPATCH_TIME_NOW (0ull)
#define DISPATCH_TIME_FOREVER (~0ull)
#define NSEC_PER_SEC 1000000000ull
#define NSEC_PER_MSEC 1000000ull

typedef void (*dispatch_function_t)(void* _Nullable);

AGENT_EXTERN_C_BEGIN
AGENT_NONNULL_BEGIN
// The main queue is a process-wide object; obtaining it transfers no reference.
extern struct dispatch_queue_s _dispatch_main_q;
void dispatch_async_f(dispatch_queue_t queue, void* _Nullable context, dispatch_function_t work);
dispatch_time_t dispatch_time(dispatch_time_t when, int64_t delta);
AGENT_DISPATCH_RETURNS_RETAINED dispatch_semaphore_t _Nullable dispatch_semaphore_create(intptr_t value);
// Non-zero when the timeout passed first.
intptr_t dispatch_semaphore_wait(dispatch_semaphore_t dsema, dispatch_time_t timeout);
intptr_t dispatch_semaphore_signal(dispatch_semaphore_t dsema);
AGENT_NONNULL_END
AGENT_EXTERN_C_END

static inline __attribute__((always_inline)) dispatch_queue_t dispatch_get_main_queue(void) {
#if defined(__OBJC__) && __has_feature(objc_arc)
    return (__bridge dispatch_queue_t)(void*)&_dispatch_main_q;
#else
    return (dispatch_queue_t)(void*)&_dispatch_main_q;
#endif
}

AGENT_PIN(dispatch_async_f, void(dispatch_queue_t, void*, dispatch_function_t));
AGENT_PIN(dispatch_get_main_queue, dispatch_queue_t());
AGENT_PIN(dispatch_time, dispatch_time_t(dispatch_time_t, int64_t));
#if defined(__cplusplus)
// Pinned by its call: the returns-retained attribute is part of the function's type.
static_assert(std::is_same_v<decltype(dispatch_semaphore_create(0)), dispatch_semaphore_t>,
              "declaration of dispatch_semaphore_create changed");
#endif
AGENT_PIN(dispatch_semaphore_wait, intptr_t(dispatch_semaphore_t, dispatch_time_t));
AGENT_PIN(dispatch_semaphore_signal, intptr_t(dispatch_semaphore_t));

#endif
