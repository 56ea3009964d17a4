// libmex of the test host: MATLAB's mexErrMsgTxt.  The call it ends is
// libmx's (see host_internal.h).
#include "host_internal.h"

extern "C" void mexErrMsgTxt(const char *text) { mextk_host_raise(text); }
