// The small things lying on the demo scene's bench: a pencil, screws, shavings and a pocket
// watch whose hands keep time.
#pragma once

#include "SceneGeometry.h"

namespace demo::scene {

void DrawPencil(cairo_t* cr);
void Screw(cairo_t* cr, Pt head, double angleDeg, double length);
// A curl of pine shaving: a loose spiral ribbon.
void Shaving(cairo_t* cr, Pt c, double r, double startDeg, double turns);
void DrawWatchBody(cairo_t* cr);
// The hands, their shadows and the glass glare over them: everything that changes with time.
void DrawWatchHands(cairo_t* cr, double seconds);

} // namespace demo::scene
