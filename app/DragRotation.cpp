#include "app/DragRotation.h"

DragRotation dragRotation = {};
