// The page agent: filled in by the page agent work.
