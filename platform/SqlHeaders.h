// The ODBC headers as every OS needs them: Windows' declare their types through <windows.h>,
// which must come first there.
#pragma once

#ifdef _WIN32
#include <windows.h>
#endif

#include <sql.h>
#include <sqlext.h>
