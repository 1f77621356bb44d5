"""Track plans, one module per track folder under data/tracks (see trackdesign.plan)."""
