// Carbon: only the secure keyboard input query of HIToolbox.
#ifndef AGENT_DECLS_CARBON_H
#define AGENT_DECLS_CARBON_H

#include <ApplicationServices/ApplicationServices.h>

AGENT_EXTERN_C_BEGIN
Boolean IsSecureEventInputEnabled(void);
AGENT_EXTERN_C_END

AGENT_PIN(IsSecureEventInputEnabled, Boolean());

#endif
