#pragma once

#include "release.h"

#include <httplib.h>

// The update routes of the service: the manifest, the release's files with their signed sum
// list, and faulty variants the updater's tests rely on.
void addUpdateRoutes(httplib::Server& http, const Release& release);
