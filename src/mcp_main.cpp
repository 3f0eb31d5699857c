#include "channel/request_loop.h"
#include "mcp/server.h"

int main() { channel::serve(mcp::front()); }
