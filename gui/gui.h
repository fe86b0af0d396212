// The toolkit in one include.
#pragma once

#include "gui/bitmap.h"
#include "gui/color.h"
#include "gui/control.h"
#include "gui/controls.h"
#include "gui/draw_context.h"
#include "gui/editor.h"
#include "gui/file_selector.h"
#include "gui/frame.h"
#include "gui/geometry.h"
#include "gui/mouse.h"
#include "gui/reference.h"
#include "gui/resources.h"
#include "gui/text_label.h"
#include "gui/view.h"
