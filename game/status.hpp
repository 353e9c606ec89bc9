// The status display: frame, shell stocks, threat box, health bars.
#pragma once

void DrawStatusLine();
void DrawHealthBars();
