#pragma once
// Writing form data: the same JSON shape the reader reads (see FormReader.h), through the
// same property tables. A property is written when its value differs from its declared
// default (or, with an ancestor, from the ancestor's value), always when it has no default,
// and never when its "stored" condition says no. Events are written by the handler names
// they were bound to from form data.

#include "framework/Classes.h"

#include <string>

// Writes Root and the components it owns. Ancestor, when given, is the root as designed (the
// same class, freshly read); components are matched with the ancestor's by name and their
// extra values (DefineProperties) see the matching ancestor component through TFiler.
std::string WriteComponentData(TComponent* Root, TComponent* Ancestor = nullptr);
