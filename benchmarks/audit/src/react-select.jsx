// react-select on React, bundled by the audit's set-up into bundles/react-select.js.
import React from 'react';
import { createRoot } from 'react-dom/client';
import Select from 'react-select';

const categories = [{ value: 'meals', label: 'Meals' }, { value: 'travel', label: 'Travel' }, { value: 'lodging', label: 'Lodging' }];
const tags = [{ value: 'urgent', label: 'Urgent' }, { value: 'client', label: 'Client' }, { value: 'q1', label: 'Q1' }];

function App() {
  return (
    <div style={{ maxWidth: 420, padding: 16, fontFamily: 'sans-serif' }}>
      <h1>Expense</h1>
      <label id="category-label">Category</label>
      <Select aria-label="Category" defaultValue={categories[0]} options={categories} />
      <p>Tags</p>
      <Select aria-label="Tags" isMulti defaultValue={[tags[0], tags[1]]} options={tags} />
      <p>Purpose</p>
      <Select aria-label="Purpose" placeholder="Choose a purpose" isLoading options={[]} />
      <p>Approver</p>
      <Select aria-label="Approver" isClearable defaultValue={{ value: 'ann', label: 'Ann Silva' }}
        options={[{ value: 'ann', label: 'Ann Silva' }, { value: 'bo', label: 'Bo Chen' }]} />
    </div>
  );
}

createRoot(document.getElementById('root')).render(<App />);
