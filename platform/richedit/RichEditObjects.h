#pragma once
// Putting an embedded object into a rich edit window from outside the control, for an
// "insert object" command and for tests.

#include "platform/ole/Ole.h"

// Inserts object at cp (REO_CP_SELECTION: over the selection): a new storage (from the
// window's IRichEditOleCallback::GetNewStorage, else on memory) that the object is saved
// into, a new client site, then IRichEditOle::InsertObject (so the callback's
// QueryInsertObject may refuse it). E_INVALIDARG when richEdit is no rich edit window.
HRESULT InsertObjectInto(HWND richEdit, IOleObject* object, LONG cp = REO_CP_SELECTION);
