#pragma once
// The OpenGL 1.x draw back end: textured quads with the fixed drawing state.

// Makes the OpenGL back end current (the window's context must be current).
void use_gl_draw_backend();
// Puts the null back end back (before the context goes away).
void stop_gl_draw_backend();
