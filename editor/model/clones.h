// The clone relation across a scene. The commands that keep it live in
// CWorkspaceDoc (clones.cpp); this is the check of what they keep.
#pragma once

namespace brevoxa {

class IObList;

// True when every clone's master is an item of the list that is not itself
// a clone, and every form's clone count is the number of items naming it.
bool CloneCountsHold(const IObList& items);

}  // namespace brevoxa
