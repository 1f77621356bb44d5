#pragma once
// The whole vector-math library: value types shared by every deliverable.
#include "vec2.h"
#include "vec3.h"
#include "vec4.h"
#include "mat3.h"
#include "mat4.h"
#include "quat.h"
#include "convex.h"
