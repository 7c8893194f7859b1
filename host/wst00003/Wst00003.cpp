// The third sibling package of the recharge module. The module is linked against
// it and loads it, but calls nothing of it; it keeps the module's set of
// required libraries the same as the host's installation expects.
