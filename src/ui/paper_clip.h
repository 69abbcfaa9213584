#pragma once

class QIcon;

// The mark of a call with attachments: the desktop theme's attachment icon, else a paper clip
// drawn in the window's text colour.
const QIcon& PaperClipIcon();
