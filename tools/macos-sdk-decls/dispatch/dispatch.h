// libdispatch: the main queue and asynchronous submission of a function.
// In Objective-C with ARC, queues are Objective-C objects, as on macOS.
#ifndef AGENT_DECLS_DISPATCH_H
#define AGENT_DECLS_DISPATCH_H

#include <agent_decls/annotations.h>

#if defined(__OBJC__)
#include <Foundation/Foundation.h>
@protocol OS_dispatch_object <NSObject>
@end
@protocol OS_dispatch_queue <OS_dispatch_object>
@end
typedef NSObject<OS_dispatch_queue>* dispatch_queue_t;
#else
typedef struct dispatch_queue_s* dispatch_queue_t;
#endif

typedef void (*dispatch_function_t)(void* _Nullable);

AGENT_EXTERN_C_BEGIN
AGENT_NONNULL_BEGIN
// The main queue is a process-wide object; obtaining it transfers no reference.
extern struct dispatch_queue_s _dispatch_main_q;
void dispatch_async_f(dispatch_queue_t queue, void* _Nullable context, dispatch_function_t work);
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

#endif
