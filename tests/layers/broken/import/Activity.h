#pragma once
#include "../dbf/Table.h"
#include "exchange/Ansi.h"
