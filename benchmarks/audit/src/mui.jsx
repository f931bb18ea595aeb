// Material UI on React, bundled by the audit's set-up into bundles/mui.js.
import React, { useState } from 'react';
import { createRoot } from 'react-dom/client';
import {
  Box, Button, Checkbox, FormControl, FormControlLabel, IconButton, InputLabel, Menu, MenuItem, Radio, RadioGroup,
  Select, Switch, Tab, Tabs, TextField, Typography,
} from '@mui/material';

const MoreIcon = () => (
  <svg width="24" height="24" viewBox="0 0 24 24" aria-hidden="true"><path d="M12 8a2 2 0 1 0 0-4 2 2 0 0 0 0 4zm0 2a2 2 0 1 0 0 4 2 2 0 0 0 0-4zm0 6a2 2 0 1 0 0 4 2 2 0 0 0 0-4z" /></svg>
);

function RowMenu({ name }) {
  const [anchor, setAnchor] = useState(null);
  return (
    <>
      <IconButton aria-label="more" onClick={(e) => setAnchor(e.currentTarget)}><MoreIcon /></IconButton>
      <Menu anchorEl={anchor} open={!!anchor} onClose={() => setAnchor(null)}>
        <MenuItem onClick={() => setAnchor(null)}>Edit {name}</MenuItem>
        <MenuItem onClick={() => setAnchor(null)}>Delete</MenuItem>
      </Menu>
    </>
  );
}

function App() {
  const [tab, setTab] = useState(0);
  const [pet, setPet] = useState('cat');
  return (
    <Box sx={{ p: 2, maxWidth: 760 }}>
      <Typography variant="h4" component="h1">Pet insurance</Typography>
      <Tabs value={tab} onChange={(e, v) => setTab(v)}>
        <Tab label="Policy" /><Tab label="Billing" /><Tab label="Claims" />
      </Tabs>
      <Box sx={{ my: 2 }}>
        <FormControl sx={{ minWidth: 200 }}>
          <InputLabel id="pet-label">Pet type</InputLabel>
          <Select labelId="pet-label" label="Pet type" value={pet} onChange={(e) => setPet(e.target.value)}>
            <MenuItem value="cat">Cat</MenuItem><MenuItem value="dog">Dog</MenuItem>
          </Select>
        </FormControl>
      </Box>
      <FormControlLabel control={<Switch defaultChecked />} label="Weekly report by email" />
      <FormControlLabel control={<Checkbox />} label="I accept the terms" />
      <RadioGroup defaultValue="starter" name="plan">
        <FormControlLabel value="starter" control={<Radio />} label={<span>Starter<br />6 EUR per seat a month<br />Up to 5 seats</span>} />
        <FormControlLabel value="team" control={<Radio />} label={<span>Team<br />12 EUR per seat a month</span>} />
      </RadioGroup>
      <TextField label="Name on the policy" size="small" sx={{ my: 1 }} />
      <Box sx={{ display: 'flex', alignItems: 'center', gap: 1 }}>
        <Typography>Max (cat)</Typography><RowMenu name="Max" />
      </Box>
      <Box sx={{ display: 'flex', alignItems: 'center', gap: 1 }}>
        <Typography>Rex (dog)</Typography><RowMenu name="Rex" />
      </Box>
      <Button variant="contained">Save<br />draft</Button>
    </Box>
  );
}

createRoot(document.getElementById('root')).render(<App />);
