#include "settings/ini_file.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>
