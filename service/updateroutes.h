#pragma once

#include "release.h"

#include <httplib.h>

// The update routes of the service: the manifest, the release's files, and two faulty
// variants the updater's tests rely on (a body cut short of its length, a missing file).
void addUpdateRoutes(httplib::Server& http, const Release& release);
