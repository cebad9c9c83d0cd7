// Resource identifiers of the launcher: dialog templates, controls and PNG artwork.
#pragma once
