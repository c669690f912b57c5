#pragma once

// Opens the publisher's portal in the default browser; a failure is ignored.
void OpenPortal();
