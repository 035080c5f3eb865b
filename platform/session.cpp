#include "session.h"

SessionState session;
