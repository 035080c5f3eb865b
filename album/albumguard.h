#pragma once

// The guard that keeps the supplied album unchanged while its folder is read-only.

// Sets session.albumAttr: 0, or for the supplied album its folder's
// attributes (17, folder plus read-only, marks it protected).
void CheckSuppliedAlbum();
// The five-line read-only warning.
void ShowSuppliedAlbumReadOnly();
// Runs the check; when the supplied album is protected shows the warning and
// returns true, and the caller does nothing more.
bool SuppliedAlbumRefuses();
