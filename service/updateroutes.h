#pragma once

#include "release.h"

#include <httplib.h>

// The update routes of the service: the manifest, the release's files with their signed sum
// list, and faulty variants the updater's tests rely on. The manifest sends the updater to
// `downloadBase`, read when the manifest is asked for, so it may be set after binding; when it
// is empty, to the address the request's connection arrived at.
void addUpdateRoutes(httplib::Server& http, const Release& release,
                     const std::string& downloadBase);

// "http://HOST:PORT/update/files/" for the service's own address.
std::string ownDownloadBase(const QString& host, int port);
