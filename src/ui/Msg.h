// Msg: the installer's message boxes. So far the error box only; the other
// boxes, their centring and the message window join it here.
#ifndef TARV_UI_MSG_H
#define TARV_UI_MSG_H

#include "config/wqString.h"

// Shows the text in a modal error box without an owner, titled with the
// run's ProgramName ("Error" while that is empty), and brought to the
// foreground. Returns when the user closes it. Any thread may call it.
void ErrorBox(const TStr& text);

#endif
