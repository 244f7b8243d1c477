// The layer's side of the start-up profile declared in tarnvale_d3d9.h.
#pragma once

// Records the time of the process's first BeginScene; later calls do nothing.
void markFirstScene();
